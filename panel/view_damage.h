// The rectangles a view's frame drew on, kept so that the next frame restores only those from
// the background and copies only what changed to the screen. Fixed-size: when a frame covers
// more places than the list holds, a place joins the listed one that it grows least.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "panel/touch_view_model.h"

namespace zorvik::panel {

// Half-open: left <= x < right, top <= y < bottom.
struct DamageRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  bool empty() const { return left >= right || top >= bottom; }
  bool operator==(const DamageRect&) const = default;
};

// The pixels it covers.
std::int64_t Area(const DamageRect& r);
// The smallest rectangle holding both.
DamageRect Union(const DamageRect& a, const DamageRect& b);
// The smallest rectangle holding all of `places` (at least one).
DamageRect Bounds(std::span<const DamageRect> places);

// The pixels an ellipse drawn in `box` (corners in any order, as the rotations give them) with
// a pen of `pen_width` can touch.
DamageRect EllipseDamage(const EllipseBox& box, std::int32_t pen_width);

// The pixels the ellipses of every cell of a block of shadowed columns `x` and rows `y` can
// touch: each edge of a cell's ellipse moves steadily with its column and row under every
// rotation, so the block's two corner cells bound it.
DamageRect CellBlockDamage(std::int32_t rotation, CellRun x, CellRun y, const CellGrid& grid,
                           ViewSize size, std::int32_t pen_width);

class DamageList {
 public:
  static constexpr std::size_t kCapacity = 64;

  // Empties the list for a view of this size; rectangles are clipped to it.
  void Reset(std::int32_t width, std::int32_t height);
  // Adds a rectangle; one that overlaps or touches a listed one is merged with it, so that rows
  // of text and runs of cells become one rectangle each. On a full list it joins the listed one
  // whose union with it covers the fewest pixels not covered before.
  void Add(DamageRect rect);
  // The whole view instead of the list (nothing drawn so far is known).
  void AddAll() { all_ = true; }

  bool all() const { return all_; }
  std::span<const DamageRect> rects() const { return {rects_.data(), all_ ? 0 : count_}; }

 private:
  // `rect` merged with every listed rectangle it reaches, those taken off the list.
  DamageRect Absorb(DamageRect rect);

  std::array<DamageRect, kCapacity> rects_{};
  std::size_t count_ = 0;
  bool all_ = false;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
};

}  // namespace zorvik::panel
