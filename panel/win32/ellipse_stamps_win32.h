// Small ellipses drawn straight into a 32-bit frame buffer. The cell view draws one ellipse per
// shadowed crossing, up to thousands a frame, and each GDI call costs far more than the few
// pixels it sets. An ellipse's pixels depend only on its box's size and corner order, never on
// where the box is, so GDI draws each shape once into a scratch bitmap and later ellipses of that
// shape copy what it set: the same pixels, with the fill in each cell's colour.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

#include "panel/touch_view_model.h"
#include "panel/win32/pixel_buffer_win32.h"

namespace zorvik::panel {

class EllipseStamps {
 public:
  // Boxes up to this size are stamped; larger ones are few a frame and go to GDI.
  static constexpr int kMaxBox = 64;

  EllipseStamps();
  EllipseStamps(const EllipseStamps&) = delete;
  EllipseStamps& operator=(const EllipseStamps&) = delete;

  // Draws `box` as Ellipse does with the stock black pen and a solid brush of `fill`, clipped to
  // `target`. False, with nothing drawn, when the box is too large or its shape could not be
  // taken from GDI; the caller then draws it with GDI. GDI's batch must be flushed before.
  bool Draw(const EllipseBox& box, COLORREF fill, const PixelBuffer& target);

 private:
  // What Ellipse set in a box of one shape drawn with its nearer corner at (kMargin, kMargin).
  static constexpr int kMargin = 2;
  static constexpr int kSide = kMaxBox + 2 * kMargin + 1;
  enum Mark : std::uint8_t { kUntouched, kFill, kOutline };
  struct Stamp {
    EllipseBox shape{};  // the box moved so that its nearer corner is at (0, 0)
    bool valid = false;
    std::uint32_t outline = 0;  // the pen's pixel
    // The rows and columns that hold marks, half-open.
    int top = 0, bottom = 0, left = 0, right = 0;
    std::array<std::uint8_t, kSide * kSide> marks{};
  };

  const Stamp* Find(const EllipseBox& shape);
  bool Take(const EllipseBox& shape, Stamp& stamp);

  static constexpr std::size_t kStampCount = 8;
  std::array<Stamp, kStampCount> stamps_{};
  std::size_t next_ = 0;  // the stamp a new shape replaces
  PixelSurface scratch_;
};

}  // namespace zorvik::panel
