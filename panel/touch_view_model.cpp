// Reading the shared sections for the views, and what the views draw from them.
#include "panel/touch_view_model.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "common/saturating_cast.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"

namespace zorvik::panel {
namespace {

std::int32_t Trunc(double value) {
  return TruncSaturate<std::int32_t>(value);
}

std::uint32_t ReadU32(std::span<const std::uint8_t> view, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = value << 8 | view[at + i];
  return value;
}

std::string Coordinates(const char* format, std::int32_t x, std::int32_t y) {
  char text[64];
  std::snprintf(text, sizeof text, format, static_cast<int>(x), static_cast<int>(y));
  return text;
}

}  // namespace

bool IsTouching(std::int32_t state) {
  return state == kTouchDown || state == kTouchMove;
}

PointFrame ReadPointFrame(std::span<const std::uint8_t> view) {
  PointFrame frame;
  if (view.size() < kPointSectionBytes) return frame;
  // Each field is read once: the writer may change the section while the frame is drawn, and a
  // bound checked on one read must hold for the value used.
  frame.state = static_cast<std::int32_t>(ReadU32(view, point_section::kFrameStatusAt));
  frame.rows = std::min(ReadU32(view, point_section::kRowsAt), kGridRows);
  frame.columns = std::min(ReadU32(view, point_section::kColumnsAt), kGridColumns);
  return frame;
}

RawCellFrame ReadRawCellFrame(std::span<const std::uint8_t> view) {
  RawCellFrame frame;
  if (view.size() < kRawCellSectionBytes) return frame;
  frame.nx = std::min<std::uint32_t>(ReadU16(view, raw_cell_section::kXCellsAt), kMaxCells);
  frame.ny =
      std::min<std::uint32_t>(ReadU16(view, raw_cell_section::kYCellsAt), kMaxCells - frame.nx);
  frame.levels = view.subspan(raw_cell_section::kLevelsAt, frame.nx + frame.ny);
  return frame;
}

std::optional<std::int32_t> ReadScreenRotation(SettingsStore& store) {
  return ScreenRotationReader(store).Read();
}

std::optional<std::int32_t> ScreenRotationReader::Read() {
  if (!general_) {
    general_ = OpenKey(store_, store_.LocalMachine(), schema::kGeneralKey, key_rights::kRead);
    if (!general_) return std::nullopt;
  }
  const DwordRead read = QueryDword(store_, general_.get(), schema::kScreenRotateFlag);
  if (read.result == store_error::kKeyDeleted) {
    general_.reset();
    return std::nullopt;
  }
  return static_cast<std::int32_t>(read.value.value_or(0));
}

EllipseBox PointEllipse(std::int32_t rotation, const TouchPoint& point, ViewSize size) {
  const std::int32_t x = point.x, y = point.y;
  const std::int32_t half_w = point.width / 2, half_h = point.height / 2;
  const double w = size.width, h = size.height;
  switch (rotation) {
    case kRotate90:
      return {Trunc(w - (y - half_h)), x - half_w, Trunc(w - (y + half_h)), x + half_w};
    case kRotate180:
      return {Trunc(w - (x - half_w)), Trunc(h - (y - half_h)), Trunc(w - (x + half_w)),
              Trunc(h - (y + half_h))};
    case kRotate270:
      return {y - half_h, Trunc(h - (x - half_w)), y + half_h, Trunc(h - (x + half_w))};
    case kRotate360:
      return {Trunc((y - half_h) * w / h), Trunc((x - half_w) * h / w), Trunc((y + half_h) * w / h),
              Trunc((x + half_w) * h / w)};
    default:
      return {x - half_w, y - half_h, x + half_w, y + half_h};
  }
}

CellGrid CellGridOf(ViewSize size, std::uint32_t nx, std::uint32_t ny) {
  // A zero count gives an infinite cell; no cell of that axis is drawn then.
  return {static_cast<float>(size.width / nx), static_cast<float>(size.height / ny)};
}

EllipseBox CellEllipse(std::int32_t rotation, std::uint32_t i, std::uint32_t j,
                       const CellGrid& grid, ViewSize size) {
  const double w = size.width, h = size.height;
  const float cw = grid.cell_width, ch = grid.cell_height;
  const double across = w / h, down = h / w;
  switch (rotation) {
    case kRotate90:
      return {Trunc(w - across * j * ch), Trunc(down * i * cw), Trunc(w - across * (j + 1) * ch),
              Trunc(down * (i + 1) * cw)};
    case kRotate180:
      return {Trunc(w - i * cw), Trunc(h - j * ch), Trunc(w - (i + 1) * cw),
              Trunc(h - (j + 1) * ch)};
    case kRotate270:
      return {Trunc(across * j * ch), Trunc(h - down * i * cw), Trunc(across * (j + 1) * ch),
              Trunc(h - down * (i + 1) * cw)};
    case kRotate360:
      return {Trunc(across * j * ch), Trunc(down * i * cw), Trunc(across * (j + 1) * ch),
              Trunc(down * (i + 1) * cw)};
    default:
      return {Trunc(i * cw), Trunc(j * ch), Trunc((i + 1) * cw), Trunc((j + 1) * ch)};
  }
}

bool IsShadowed(std::uint8_t level) {
  return level > 50;
}

CellColour CellColourOf(std::uint8_t x_level, std::uint8_t y_level) {
  // Levels are percentages; the low byte is kept for levels above 100, as the scale always did.
  const auto scale = [](std::uint8_t level) {
    return static_cast<std::uint8_t>(Trunc(level * 0.01 * 255) & 0xFF);
  };
  return {scale(x_level), 255, scale(y_level)};
}

const char* StateText(std::int32_t state) {
  switch (state) {
    case kTouchDown:
      return "State=Touch down";
    case kTouchMove:
      return "State=Touch move";
    default:
      return "State=Touch up  ";
  }
}

std::string PointRowText(const TouchPoint& point) {
  std::array<char, kPointRowCapacity> text{};
  const std::size_t length = FormatPointRow(point, text);
  return {text.data(), length};
}

std::size_t FormatPointRow(const TouchPoint& point, std::span<char, kPointRowCapacity> text) {
  // Rows and columns stay below 100 and positions are 16-bit: 24 characters at most.
  const int length =
      std::snprintf(text.data(), text.size(), "P(%02u,%02u)=(%06u,%06u)",
                    static_cast<unsigned>(point.row), static_cast<unsigned>(point.column),
                    static_cast<unsigned>(point.x), static_cast<unsigned>(point.y));
  return length < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(length), text.size() - 1);
}

std::size_t ShadowedRuns(std::span<const std::uint8_t> levels,
                         std::span<CellRun, kMaxCellRuns> runs) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < levels.size() && count < runs.size(); ++i) {
    if (!IsShadowed(levels[i])) continue;
    const std::size_t first = i;
    while (i + 1 < levels.size() && IsShadowed(levels[i + 1]))
      ++i;
    runs[count++] = {static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(i)};
  }
  return count;
}

void DrawingTest::ButtonDown(std::int32_t x, std::int32_t y, DrawingCanvas& canvas) {
  canvas.Cross(DrawingCanvas::Pen::kYellow, x, y);
  canvas.Text(Coordinates("X:%06d, Y:%06d", x, y));
  pen_down_ = true;
  last_x_ = x;
  last_y_ = y;
}

void DrawingTest::Move(std::int32_t x, std::int32_t y, bool left_button_alone,
                       DrawingCanvas& canvas) {
  canvas.Text(Coordinates("X:%06d, Y:%06d", x, y));
  if (left_button_alone) pen_down_ = true;
  if (!pen_down_) return;
  canvas.Line(last_x_, last_y_, x, y);
  canvas.Text(Coordinates("X:%d, Y:%d", x, y));
  last_x_ = x;
  last_y_ = y;
}

void DrawingTest::ButtonUp(std::int32_t x, std::int32_t y, DrawingCanvas& canvas) {
  canvas.Cross(DrawingCanvas::Pen::kRed, last_x_, last_y_);
  canvas.Text(Coordinates("X:%06d, Y:%06d", last_x_, last_y_));
  pen_down_ = false;
  last_x_ = x;
  last_y_ = y;
}

}  // namespace zorvik::panel
