// What the drawing test and the multitouch views decide without a window: the counts read from the
// shared point and raw cell sections, bounded by what the sections can hold (any process may write
// them), the ellipses by screen rotation, the cell colours, the texts, and the single-point
// drawing test's pen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/section_layouts.h"
#include "common/settings_access.h"
#include "common/settings_store.h"

namespace zorvik::panel {

inline constexpr std::size_t kPointSectionBytes = point_section::kSize;
inline constexpr std::size_t kRawCellSectionBytes = raw_cell_section::kSize;
// Rows and columns of the point section.
inline constexpr auto kGridRows = static_cast<std::uint32_t>(point_section::kGridSide);
inline constexpr auto kGridColumns = static_cast<std::uint32_t>(point_section::kGridSide);
// X and Y cells together.
inline constexpr auto kMaxCells = static_cast<std::uint32_t>(raw_cell_section::kMaxLevels);

// Frame states of the point section.
inline constexpr std::int32_t kTouchDown = 1;
inline constexpr std::int32_t kTouchMove = 2;
bool IsTouching(std::int32_t state);

// The point section's header as read once: the counts never exceed the grid, and are 0 when the
// view is smaller than the section.
struct PointFrame {
  std::int32_t state = 0;
  std::uint32_t rows = 0;
  std::uint32_t columns = 0;
};
PointFrame ReadPointFrame(std::span<const std::uint8_t> view);

// The fields of a TouchRecord that the point view draws.
struct TouchPoint {
  std::uint32_t row = 0;
  std::uint32_t column = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint16_t x = 0;
  std::uint16_t y = 0;
};

// Calls draw(const TouchPoint&) for each record of status 1 within the frame's rows and columns,
// row by row, and row_done() after each row.
template <typename Draw, typename RowDone>
void ForEachTouchPoint(std::span<const std::uint8_t> view, const PointFrame& frame, Draw&& draw,
                       RowDone&& row_done);

// The raw cell section as read once: nx + ny never exceeds kMaxCells, and both are 0 when the view
// is smaller than the section. Levels are X cells, then Y cells.
struct RawCellFrame {
  std::uint32_t nx = 0;
  std::uint32_t ny = 0;
  std::span<const std::uint8_t> levels;
  std::uint8_t x_level(std::uint32_t i) const { return levels[i]; }
  std::uint8_t y_level(std::uint32_t j) const { return levels[nx + j]; }
};
RawCellFrame ReadRawCellFrame(std::span<const std::uint8_t> view);

// Screen rotations of ScreenRotateFlag; any other value draws as 0.
inline constexpr std::int32_t kRotate90 = 90;
inline constexpr std::int32_t kRotate180 = 180;
inline constexpr std::int32_t kRotate270 = 270;
inline constexpr std::int32_t kRotate360 = 360;

// ScreenRotateFlag of General: nothing when General cannot be opened (the views then draw no
// ellipse), 0 when only the value cannot be read.
std::optional<std::int32_t> ReadScreenRotation(SettingsStore& store);

// The same, read once per frame: General stays open between reads, so a read is one query and
// not an open, a query and a close. A key deleted meanwhile answers as one that cannot be
// opened, and is opened anew at the next read.
class ScreenRotationReader {
 public:
  explicit ScreenRotationReader(SettingsStore& store) : store_(store) {}
  std::optional<std::int32_t> Read();

 private:
  SettingsStore& store_;
  ScopedKey general_;
};

struct EllipseBox {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  bool operator==(const EllipseBox&) const = default;
};

// The size the views turn rotated positions with (the dialog's W and H).
struct ViewSize {
  double width = 0;
  double height = 0;
};

// A touch point's ellipse, from its centre and its size (integer halves).
EllipseBox PointEllipse(std::int32_t rotation, const TouchPoint& point, ViewSize size);

// Cell (i, j) of a grid of nx x ny cells over the view.
struct CellGrid {
  float cell_width = 0;
  float cell_height = 0;
};
CellGrid CellGridOf(ViewSize size, std::uint32_t nx, std::uint32_t ny);
EllipseBox CellEllipse(std::int32_t rotation, std::uint32_t i, std::uint32_t j,
                       const CellGrid& grid, ViewSize size);

// A level above 50 is a shadowed cell.
bool IsShadowed(std::uint8_t level);
struct CellColour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const CellColour&) const = default;
};
CellColour CellColourOf(std::uint8_t x_level, std::uint8_t y_level);

// The point view's texts.
inline constexpr char kMultiPointTitle[] = "Multi-Point Coordinate";
const char* StateText(std::int32_t state);
std::string PointRowText(const TouchPoint& point);
// The same row into a fixed buffer, for the frames (no allocation); returns its length.
inline constexpr std::size_t kPointRowCapacity = 40;
std::size_t FormatPointRow(const TouchPoint& point, std::span<char, kPointRowCapacity> text);

// A run of consecutive shadowed cells of one axis, first to last.
struct CellRun {
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  bool operator==(const CellRun&) const = default;
};
// The runs of shadowed cells among `levels`, into `runs` (which holds at most half the levels
// rounded up, as runs are apart); returns how many.
inline constexpr std::size_t kMaxCellRuns = (kMaxCells + 1) / 2;
std::size_t ShadowedRuns(std::span<const std::uint8_t> levels,
                         std::span<CellRun, kMaxCellRuns> runs);

// The single-point drawing test: what each pointer message draws, on a canvas the window gives.
class DrawingCanvas {
 public:
  enum class Pen { kYellow, kRed };  // crosses; lines are white
  virtual ~DrawingCanvas() = default;
  virtual void Cross(Pen pen, std::int32_t x, std::int32_t y) = 0;
  virtual void Line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) = 0;
  virtual void Text(const std::string& text) = 0;
};

class DrawingTest {
 public:
  void ButtonDown(std::int32_t x, std::int32_t y, DrawingCanvas& canvas);
  // `left_button_alone`: the message's key state is the left button and nothing else.
  void Move(std::int32_t x, std::int32_t y, bool left_button_alone, DrawingCanvas& canvas);
  void ButtonUp(std::int32_t x, std::int32_t y, DrawingCanvas& canvas);

 private:
  std::int32_t last_x_ = 0;
  std::int32_t last_y_ = 0;
  bool pen_down_ = false;
};

// Little-endian fields of the sections, read byte by byte.
inline std::uint16_t ReadU16(std::span<const std::uint8_t> view, std::size_t at) {
  return static_cast<std::uint16_t>(view[at] | view[at + 1] << 8);
}

template <typename Draw, typename RowDone>
void ForEachTouchPoint(std::span<const std::uint8_t> view, const PointFrame& frame, Draw&& draw,
                       RowDone&& row_done) {
  if (view.size() < kPointSectionBytes) return;
  for (std::uint32_t r = 0; r < frame.rows && r < kGridRows; ++r) {
    for (std::uint32_t c = 0; c < frame.columns && c < kGridColumns; ++c) {
      namespace layout = point_section;
      const std::size_t at = layout::RecordOffset(r, c);
      if (ReadU16(view, at + layout::kStatusAt) != 1) continue;
      draw(TouchPoint{r, c, ReadU16(view, at + layout::kWidthAt),
                      ReadU16(view, at + layout::kHeightAt), ReadU16(view, at + layout::kXAt),
                      ReadU16(view, at + layout::kYAt)});
    }
    row_done();
  }
}

}  // namespace zorvik::panel
