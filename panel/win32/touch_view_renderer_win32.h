// The multi-point views' drawing: the background and grid kept in a buffer made once per size,
// a frame buffer in which each frame first restores from it only what the last frame's marks
// covered, and a copy to the screen of only those places and the new marks'. The screen then
// shows, after each frame, what drawing that frame over a fresh background would show.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>

#include "common/win32/handle_win32.h"
#include "panel/touch_view_model.h"
#include "panel/view_damage.h"
#include "panel/view_present.h"
#include "panel/win32/ellipse_stamps_win32.h"
#include "panel/win32/pixel_buffer_win32.h"

namespace zorvik::panel {

// Black background and the grid of the full-screen dialog: lines every 10 and every 100 pixels
// from the middle, the 100-pixel ones with the wider, lighter pen when `wide_hundreds`.
void DrawBackground(HDC dc, const RECT& client, int width, int height, bool wide_hundreds);
// A line with the selected pen, as the grid and the calibration's guides draw them.
void DrawLine(HDC dc, int x0, int y0, int x1, int y1);
// The grid's wider pen, which the calibration's guides use too.
ScopedGdiObject<HPEN> WideGridPen(int width, int height);

class TouchViewRenderer {
 public:
  enum class View { kPoints, kCells };
  TouchViewRenderer(View view, bool wide_hundreds);
  TouchViewRenderer(const TouchViewRenderer&) = delete;
  TouchViewRenderer& operator=(const TouchViewRenderer&) = delete;

  // One frame as the sections hold it now; `rotation` is ScreenRotateFlag, nothing when the
  // General key cannot be opened.
  struct Sections {
    std::span<const std::uint8_t> points;
    std::span<const std::uint8_t> cells;
    std::optional<std::int32_t> rotation;
  };
  // Draws the frame and copies what changed onto `screen`, a device context of `client_width`
  // x `client_height` pixels; `size` is the screen size the rotations use. A frame that `run`
  // ends halfway is not shown. False when nothing was shown.
  bool Draw(HDC screen, int client_width, int client_height, ViewSize size,
            const Sections& sections, const std::atomic<bool>& run);

 private:
  bool Prepare(HDC screen, int client_width, int client_height, ViewSize size);
  void DrawPoints(const Sections& sections, ViewSize size);
  bool DrawCells(const Sections& sections, ViewSize size, const std::atomic<bool>& run);
  void Text(int x, int y, const char* text, std::size_t length);
  void CopyRects(HDC to, HDC from, const DamageList& damage);
  // Copies the changed places to `screen` in the groups presented apart.
  void PresentChanges(HDC screen);

  const View view_;
  const bool wide_hundreds_;
  PixelSurface background_;
  PixelSurface frame_;
  int width_ = 0;
  int height_ = 0;
  ViewSize size_{};
  // The places the last frame drew on, and this frame's.
  DamageList last_;
  DamageList current_;
  DamageList changed_;                                      // what one frame copies to the screen
  std::array<DamageRect, DamageList::kCapacity> places_{};  // changed_, in present order
  std::array<std::size_t, kMaxPresents> group_ends_{};
  static constexpr int kCharCount = 256;
  std::array<INT, kCharCount> advances_{};  // of the buffer's font, per character
  int text_reach_ = 0;                      // how far past its advance a row of text may draw
  int text_height_ = 0;
  const ScopedGdiObject<HBRUSH> red_;
  EllipseStamps stamps_;
  std::array<CellRun, kMaxCellRuns> x_runs_{};
  std::array<CellRun, kMaxCellRuns> y_runs_{};
};

}  // namespace zorvik::panel
