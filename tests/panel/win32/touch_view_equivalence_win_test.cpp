// The multi-point views under Wine: after every frame they draw, the picture they leave on a
// screen (an off-screen bitmap standing in for the window) is byte for byte the full redraw of
// that frame over a fresh background, the way the views drew every frame before they kept a
// background buffer and copied only what changed. The full redraw is kept here as the reference.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/memory_settings_store.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "panel/calibration_model.h"
#include "panel/touch_view_model.h"
#include "panel/win32/ellipse_stamps_win32.h"
#include "panel/win32/pixel_buffer_win32.h"
#include "panel/win32/touch_view_renderer_win32.h"
#include "tests/allocation_count.h"

namespace zorvik::panel {
namespace {

// A 32-bit top-down bitmap in its own device context.
class Picture {
 public:
  Picture(int width, int height) { surface_.Make(nullptr, width, height); }
  HDC dc() const { return surface_.dc(); }
  const PixelBuffer& pixels() const { return surface_.pixels(); }
  // The first pixel where the two differ, or "" when they are the same.
  std::string Difference(const Picture& other) const {
    GdiFlush();
    const PixelBuffer& a = pixels();
    const std::uint32_t* b = other.pixels().bits;
    for (int k = 0; k < a.width * a.height; ++k) {
      if (a.bits[k] != b[k]) {
        char text[96];
        std::snprintf(text, sizeof text, "at (%d, %d): %06x, reference %06x", k % a.width,
                      k / a.width, static_cast<unsigned>(a.bits[k] & 0xFFFFFF),
                      static_cast<unsigned>(b[k] & 0xFFFFFF));
        return text;
      }
    }
    return "";
  }

 private:
  PixelSurface surface_;
};

// The full redraw, as the views drew each frame before: background, grid and marks into a new
// buffer, a new brush per mark, the rotation read once per frame.
void ReferenceGrid(HDC dc, int width, int height, bool wide_hundreds) {
  const HPEN thin = CreatePen(PS_SOLID, 1, RGB(100, 100, 100));
  const HPEN wide = CreatePen(PS_SOLID, width > 700 || height > 500 ? 3 : 2, RGB(140, 140, 140));
  for (const int spacing : {10, 100}) {
    const HGDIOBJ old = SelectObject(dc, spacing == 100 && wide_hundreds ? wide : thin);
    for (int x = FirstGridLine(width, spacing); x < width; x += spacing) {
      MoveToEx(dc, x, 0, nullptr);
      LineTo(dc, x, height);
    }
    for (int y = FirstGridLine(height, spacing); y < height; y += spacing) {
      MoveToEx(dc, 0, y, nullptr);
      LineTo(dc, width, y);
    }
    SelectObject(dc, old);
  }
  DeleteObject(thin);
  DeleteObject(wide);
}

void ReferencePoints(HDC dc, ViewSize size, std::span<const std::uint8_t> points,
                     std::optional<std::int32_t> rotation) {
  const PointFrame frame = ReadPointFrame(points);
  SetTextColor(dc, RGB(0, 255, 0));
  SetBkColor(dc, RGB(0, 0, 0));
  SetBkMode(dc, OPAQUE);
  SetTextColor(dc, RGB(255, 0, 0));
  TextOutA(dc, 5, 60, kMultiPointTitle, static_cast<int>(std::strlen(kMultiPointTitle)));
  const char* state = StateText(frame.state);
  TextOutA(dc, 5, 80, state, static_cast<int>(std::strlen(state)));
  SetTextColor(dc, RGB(0, 255, 0));
  if (!IsTouching(frame.state)) return;
  const HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  const HGDIOBJ old = SelectObject(dc, red);
  int drawn = 0;
  ForEachTouchPoint(
      points, frame,
      [&](const TouchPoint& point) {
        const std::string row = PointRowText(point);
        TextOutA(dc, 5, 100 + 20 * drawn, row.data(), static_cast<int>(row.size()));
        ++drawn;
        if (!rotation) return;
        const EllipseBox box = PointEllipse(*rotation, point, size);
        Ellipse(dc, box.left, box.top, box.right, box.bottom);
      },
      [] {});
  SelectObject(dc, old);
  DeleteObject(red);
}

void ReferenceCells(HDC dc, ViewSize size, std::span<const std::uint8_t> points,
                    std::span<const std::uint8_t> cell_view, std::optional<std::int32_t> rotation) {
  const PointFrame frame = ReadPointFrame(points);
  const RawCellFrame cells = ReadRawCellFrame(cell_view);
  if (!IsTouching(frame.state) || cells.nx == 0 || !rotation) return;
  const CellGrid grid = CellGridOf(size, cells.nx, cells.ny);
  for (std::uint32_t i = 0; i < cells.nx; ++i) {
    const std::uint8_t vx = cells.x_level(i);
    if (!IsShadowed(vx)) continue;
    for (std::uint32_t j = 0; j < cells.ny; ++j) {
      const std::uint8_t vy = cells.y_level(j);
      if (!IsShadowed(vy)) continue;
      const CellColour colour = CellColourOf(vx, vy);
      const HBRUSH fill = CreateSolidBrush(RGB(colour.red, colour.green, colour.blue));
      const HGDIOBJ old = SelectObject(dc, fill);
      const EllipseBox box = CellEllipse(*rotation, i, j, grid, size);
      Ellipse(dc, box.left, box.top, box.right, box.bottom);
      SelectObject(dc, old);
      DeleteObject(fill);
    }
  }
}

// One frame of the sections, and what the General key holds while it is drawn.
struct Finger {
  std::uint16_t x, y, w = 20, h = 20;
};
struct Frame {
  std::string name;
  std::uint32_t state = kTouchMove;
  std::vector<Finger> fingers;
  std::optional<std::int32_t> rotation = 0;  // nothing: General missing
  // Point section counts; by default one row per finger, or the fingers across one row.
  std::uint32_t rows = 0, columns = 0;
  std::uint8_t level = 100;     // of the shadowed cells
  bool repaint_before = false;  // the window repainted its background before this frame
};

class Sections {
 public:
  Sections() : points_(kPointSectionBytes), cells_(kRawCellSectionBytes) {}
  void Write(const Frame& frame, int width, int height) {
    std::fill(points_.begin(), points_.end(), 0);
    std::fill(cells_.begin(), cells_.end(), 0);
    const std::uint32_t n = static_cast<std::uint32_t>(frame.fingers.size());
    const std::uint32_t rows = frame.rows ? frame.rows : (n > 1 && n <= 5 ? 1 : n);
    const std::uint32_t columns = frame.columns ? frame.columns : (n > 1 && n <= 5 ? n : 1);
    Put(0, frame.state, 4);
    Put(4, n, 4);
    Put(8, rows, 4);
    Put(12, columns, 4);
    for (std::uint32_t k = 0; k < n; ++k) {
      const std::uint32_t r = rows == 1 ? 0 : k % 100, c = rows == 1 ? k : k / 100;
      const std::size_t at = 16 + 2400 * r + 24 * c;
      const Finger& f = frame.fingers[k];
      Put(at, 1, 2);
      Put(at + 4, f.w, 2);
      Put(at + 6, f.h, 2);
      Put(at + 12, f.x, 2);
      Put(at + 14, f.y, 2);
    }
    // A controller of 256 x 144 cells: each finger shades three cells of each axis.
    constexpr std::uint16_t kX = 256, kY = 144;
    std::memcpy(&cells_[4], &kX, 2);
    std::memcpy(&cells_[6], &kY, 2);
    for (const Finger& f : frame.fingers) {
      const int i = f.x * kX / std::max(width, 1), j = f.y * kY / std::max(height, 1);
      for (int d = -1; d <= 1; ++d) {
        if (i + d >= 0 && i + d < kX) cells_[8 + i + d] = frame.level;
        if (j + d >= 0 && j + d < kY)
          cells_[8 + kX + j + d] = static_cast<std::uint8_t>(frame.level - (d == 0 ? 0 : 20));
      }
    }
  }
  // Counts no section can hold: every record touched, 65535 cells per axis, all shadowed.
  void WriteHostile() {
    for (std::size_t r = 0; r < 100; ++r) {
      for (std::size_t c = 0; c < 100; ++c) {
        const std::size_t at = 16 + 2400 * r + 24 * c;
        Put(at, 1, 2);
        Put(at + 4, 30, 2);
        Put(at + 6, 30, 2);
        Put(at + 12, static_cast<std::uint32_t>(c * 10), 2);
        Put(at + 14, static_cast<std::uint32_t>(r * 7), 2);
      }
    }
    Put(0, kTouchDown, 4);
    Put(8, 0x7FFFFFFF, 4);
    Put(12, 0xFFFFFFFF, 4);
    const std::uint16_t all = 0xFFFF;
    std::memcpy(&cells_[4], &all, 2);
    std::memcpy(&cells_[6], &all, 2);
    std::fill(cells_.begin() + 8, cells_.end(), 100);
  }
  std::span<const std::uint8_t> points() const { return points_; }
  std::span<const std::uint8_t> cells() const { return cells_; }

 private:
  void Put(std::size_t at, std::uint32_t value, int bytes) {
    std::memcpy(&points_[at], &value, bytes);
  }
  std::vector<std::uint8_t> points_, cells_;
};

std::vector<Frame> RecordedFrames(int width, int height) {
  const auto w = static_cast<std::uint16_t>(width), h = static_cast<std::uint16_t>(height);
  std::vector<Frame> frames;
  frames.push_back({"lifted", 0, {}});
  frames.push_back({"one finger down", kTouchDown, {{100, 100}}});
  for (int k = 1; k <= 4; ++k)  // moving: each frame's marks overlap the last's
    frames.push_back(
        {"one finger moving",
         kTouchMove,
         {{static_cast<std::uint16_t>(100 + 7 * k), static_cast<std::uint16_t>(100 + 3 * k)}}});
  frames.push_back({"five fingers",
                    kTouchMove,
                    {{200, 150}, {400, 300}, {600, 450}, {800, 200}, {300, 600, 31, 45}}});
  frames.push_back({"five fingers moved",
                    kTouchMove,
                    {{210, 150}, {410, 290}, {600, 460}, {790, 200}, {300, 590, 31, 45}}});
  Frame ten{"ten fingers", kTouchMove, {}};
  for (std::uint16_t k = 0; k < 10; ++k)
    ten.fingers.push_back({static_cast<std::uint16_t>(60 + k * (w - 120) / 9),
                           static_cast<std::uint16_t>(50 + (k * 211) % (h - 100)), 24, 18});
  frames.push_back(ten);
  ten.name = "ten fingers, one at each edge and one far off";
  ten.fingers[0] = {0, 0, 40, 40};
  ten.fingers[1] = {w, h, 40, 40};
  ten.fingers[2] = {65535, 65535, 20, 20};
  ten.fingers[3] = {5, static_cast<std::uint16_t>(h / 2), 65535, 9};
  frames.push_back(ten);
  for (const std::int32_t rotation : {90, 180, 270, 360, 45, 0}) {
    Frame turned{"rotation " + std::to_string(rotation),
                 kTouchMove,
                 {{150, 120}, {500, 400}, {900, 650}, {40, 700}, {700, 60}},
                 rotation};
    frames.push_back(turned);
  }
  frames.push_back({"General missing", kTouchMove, {{150, 120}, {500, 400}}, std::nullopt});
  frames.push_back({"General back", kTouchMove, {{150, 120}, {500, 400}}});
  Frame tall{"rows past the bottom", kTouchMove, {}};
  for (std::uint16_t k = 0; k < 45; ++k)
    tall.fingers.push_back(
        {static_cast<std::uint16_t>(20 + k * 20), static_cast<std::uint16_t>(30 + k * 15)});
  frames.push_back(tall);
  frames.push_back({"colours past 100", kTouchMove, {{300, 300}, {320, 310}}, 0, 0, 0, 255});
  frames.push_back({"after a repaint", kTouchMove, {{310, 300}, {330, 315}}, 0, 0, 0, 80, true});
  frames.push_back({"empty touch frame", kTouchMove, {}});
  frames.push_back({"lifted again", 0, {{400, 400}}});
  return frames;
}

struct ViewCase {
  TouchViewRenderer::View view;
  bool wide_hundreds;
  const char* name;
};
constexpr ViewCase kViews[] = {{TouchViewRenderer::View::kPoints, true, "point view"},
                               {TouchViewRenderer::View::kCells, false, "cell view"}};

void Reference(const ViewCase& c, Picture& picture, int width, int height, const Sections& sections,
               std::optional<std::int32_t> rotation) {
  const RECT client{0, 0, width, height};
  FillRect(picture.dc(), &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  ReferenceGrid(picture.dc(), width, height, c.wide_hundreds);
  const ViewSize size{static_cast<double>(width), static_cast<double>(height)};
  if (c.view == TouchViewRenderer::View::kCells) {
    ReferenceCells(picture.dc(), size, sections.points(), sections.cells(), rotation);
  } else {
    ReferencePoints(picture.dc(), size, sections.points(), rotation);
  }
}

// The rotation through the settings store, as the dialog reads it: General missing or holding
// ScreenRotateFlag.
std::optional<std::int32_t> StoredRotation(std::optional<std::int32_t> rotation) {
  MemorySettingsStore store;
  if (rotation) {
    const ScopedKey general =
        CreateKey(store, store.LocalMachine(), schema::kGeneralKey, key_rights::kReadWrite);
    WriteDword(store, general.get(), schema::kScreenRotateFlag,
               static_cast<std::uint32_t>(*rotation));
  }
  return ReadScreenRotation(store);
}

TEST(TouchViewEquivalence, EveryDrawnFrameShowsWhatAFullRedrawShows) {
  const std::atomic<bool> run{true};
  for (const ViewCase& c : kViews) {
    for (const auto& [width, height] : {std::pair{1024, 768}, std::pair{800, 600}}) {
      Picture screen(width, height), reference(width, height);
      // The window's own paint: background and grid.
      const RECT client{0, 0, width, height};
      DrawBackground(screen.dc(), client, width, height, c.wide_hundreds);
      TouchViewRenderer renderer(c.view, c.wide_hundreds);
      Sections sections;
      const ViewSize size{static_cast<double>(width), static_cast<double>(height)};
      for (const Frame& frame : RecordedFrames(width, height)) {
        SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(width) + " x " +
                     std::to_string(height) + ", " + frame.name);
        sections.Write(frame, width, height);
        const std::optional<std::int32_t> rotation = StoredRotation(frame.rotation);
        if (frame.repaint_before)
          DrawBackground(screen.dc(), client, width, height, c.wide_hundreds);
        ASSERT_TRUE(renderer.Draw(screen.dc(), width, height, size,
                                  {sections.points(), sections.cells(), rotation}, run));
        Reference(c, reference, width, height, sections, rotation);
        ASSERT_EQ(screen.Difference(reference), "");
      }
      // Counts far beyond the sections' size, then a plain frame again.
      sections.WriteHostile();
      ASSERT_TRUE(renderer.Draw(screen.dc(), width, height, size,
                                {sections.points(), sections.cells(), 0}, run));
      Reference(c, reference, width, height, sections, 0);
      EXPECT_EQ(screen.Difference(reference), "") << c.name << ", hostile counts";
      sections.Write({"one finger", kTouchMove, {{500, 500}}}, width, height);
      ASSERT_TRUE(renderer.Draw(screen.dc(), width, height, size,
                                {sections.points(), sections.cells(), 0}, run));
      Reference(c, reference, width, height, sections, 0);
      EXPECT_EQ(screen.Difference(reference), "") << c.name << ", after the hostile counts";
    }
  }
}

TEST(TouchViewEquivalence, ANewSizeRedrawsTheWholeScreen) {
  const std::atomic<bool> run{true};
  for (const ViewCase& c : kViews) {
    Picture screen(1024, 768), reference(1024, 768);
    TouchViewRenderer renderer(c.view, c.wide_hundreds);
    Sections sections;
    sections.Write({"two", kTouchMove, {{100, 100}, {900, 700}}}, 1024, 768);
    ASSERT_TRUE(renderer.Draw(screen.dc(), 1024, 768, {1024, 768},
                              {sections.points(), sections.cells(), 0}, run));
    // The dialog placed on a smaller monitor: only its client area is drawn on.
    ASSERT_TRUE(renderer.Draw(screen.dc(), 512, 768, {512, 768},
                              {sections.points(), sections.cells(), 0}, run));
    Picture half(512, 768);
    Reference(c, half, 512, 768, sections, 0);
    BitBlt(reference.dc(), 0, 0, 1024, 768, screen.dc(), 0, 0, SRCCOPY);
    BitBlt(reference.dc(), 0, 0, 512, 768, half.dc(), 0, 0, SRCCOPY);
    EXPECT_EQ(screen.Difference(reference), "") << c.name;
  }
}

TEST(TouchViewEquivalence, AStopHalfwayShowsNothingAndTheNextFrameIsWhole) {
  Picture screen(1024, 768), reference(1024, 768);
  TouchViewRenderer renderer(TouchViewRenderer::View::kCells, false);
  Sections sections;
  sections.WriteHostile();
  const std::atomic<bool> stopped{false}, run{true};
  const RECT client{0, 0, 1024, 768};
  DrawBackground(screen.dc(), client, 1024, 768, false);
  EXPECT_FALSE(renderer.Draw(screen.dc(), 1024, 768, {1024, 768},
                             {sections.points(), sections.cells(), 0}, stopped));
  DrawBackground(reference.dc(), client, 1024, 768, false);
  EXPECT_EQ(screen.Difference(reference), "");
  sections.Write({"one", kTouchMove, {{500, 500}}}, 1024, 768);
  ASSERT_TRUE(renderer.Draw(screen.dc(), 1024, 768, {1024, 768},
                            {sections.points(), sections.cells(), 0}, run));
  Reference(kViews[1], reference, 1024, 768, sections, 0);
  EXPECT_EQ(screen.Difference(reference), "");
}

TEST(TouchViewEquivalence, AStampedEllipseSetsThePixelsEllipseSets) {
  struct Case {
    EllipseBox box;
    bool stamped;
  };
  // Boxes the cell view makes (both corner orders, as the rotations give them), edge cases,
  // and each placed across every edge of the picture.
  const Case cases[] = {{{0, 0, 4, 5}, true},    {{5, 6, 0, 0}, true},   {{0, 6, 7, 0}, true},
                        {{0, 0, 1, 1}, true},    {{0, 0, 0, 9}, true},   {{0, 0, 64, 64}, true},
                        {{0, 0, 65, 10}, false}, {{0, 0, 10, 65}, false}};
  const POINT places[] = {{10, 8},           {-3, 8},         {37, 8},  {10, -3},
                          {10, 27},          {-70, -70},      {38, 28}, {INT32_MIN, INT32_MIN},
                          {10, -2147483600}, {2147483500, 10}};
  EllipseStamps stamps;
  int colour = 0;
  for (const Case& c : cases) {
    for (const POINT place : places) {
      const EllipseBox box{c.box.left + place.x, c.box.top + place.y, c.box.right + place.x,
                           c.box.bottom + place.y};
      const COLORREF fill = RGB(colour * 37 % 256, 200, colour % 2 == 0 ? 0 : 255);
      ++colour;
      Picture stamped(40, 30), drawn(40, 30);
      // Not black, or a missing outline (the black pen) would not show.
      for (const Picture* picture : {&stamped, &drawn})
        std::fill_n(picture->pixels().bits, 40 * 30, 0x00123456u);
      ASSERT_EQ(stamps.Draw(box, fill, stamped.pixels()), c.stamped) << box.left << "," << box.top;
      if (!c.stamped) continue;
      // Far out, where GDI's own coordinates end, nothing may be drawn.
      const bool distant = std::abs(std::int64_t{place.x}) > 1'000'000 ||
                           std::abs(std::int64_t{place.y}) > 1'000'000;
      if (!distant) {
        const HGDIOBJ brush = SelectObject(drawn.dc(), CreateSolidBrush(fill));
        Ellipse(drawn.dc(), box.left, box.top, box.right, box.bottom);
        DeleteObject(SelectObject(drawn.dc(), brush));
      }
      EXPECT_EQ(stamped.Difference(drawn), "")
          << box.left << "," << box.top << "," << box.right << "," << box.bottom;
    }
  }
}

TEST(TouchViewEquivalence, FramesAreDrawnWithoutAllocating) {
  const std::atomic<bool> run{true};
  for (const ViewCase& c : kViews) {
    Picture screen(1024, 768);
    TouchViewRenderer renderer(c.view, c.wide_hundreds);
    Sections sections;
    const std::vector<Frame> frames = RecordedFrames(1024, 768);
    sections.Write(frames[1], 1024, 768);
    ASSERT_TRUE(renderer.Draw(screen.dc(), 1024, 768, {1024, 768},
                              {sections.points(), sections.cells(), 0}, run));  // the buffers
    for (const Frame& frame : frames) {
      sections.Write(frame, 1024, 768);
      testing::StartCountingAllocations();
      renderer.Draw(screen.dc(), 1024, 768, {1024, 768},
                    {sections.points(), sections.cells(), frame.rotation}, run);
      EXPECT_EQ(testing::StopCountingAllocations(), 0) << c.name << ", " << frame.name;
    }
  }
}

}  // namespace
}  // namespace zorvik::panel
