// The views' buffers and their drawing: marks go into the frame buffer over a background
// restored where the last frame's marks were, and only those places reach the screen.
#include "panel/win32/touch_view_renderer_win32.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "panel/calibration_model.h"
#include "panel/win32/palette_win32.h"

namespace zorvik::panel {
namespace {

constexpr COLORREF kGridThin = RGB(100, 100, 100);
constexpr COLORREF kGridWide = RGB(140, 140, 140);
// The ellipses' outline: the device context's own pen, one pixel wide.
constexpr std::int32_t kOutlineWidth = 1;
constexpr int kTextX = 5;
constexpr int kTitleY = 60;
constexpr int kStateY = 80;
constexpr int kFirstRowY = 100;
constexpr int kRowPitch = 20;

void Copy(HDC to, HDC from, const DamageRect& r) {
  BitBlt(to, r.left, r.top, r.right - r.left, r.bottom - r.top, from, r.left, r.top, SRCCOPY);
}

// Hands what was copied to the window since the last present to the display. Wine sends a
// window's surface to the display when a thread of the process checks for input, and
// GetAsyncKeyState checks without a round trip to the server (a key nobody presses is answered
// from the thread's cache). On Windows it only reads a key's state.
void Present() {
  constexpr int kUnassignedKey = 0x07;
  GetAsyncKeyState(kUnassignedKey);
}

}  // namespace

void DrawLine(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

ScopedGdiObject<HPEN> WideGridPen(int width, int height) {
  return ScopedGdiObject<HPEN>(CreatePen(PS_SOLID, width > 700 || height > 500 ? 3 : 2, kGridWide));
}

void DrawBackground(HDC dc, const RECT& client, int width, int height, bool wide_hundreds) {
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  const ScopedGdiObject<HPEN> thin(CreatePen(PS_SOLID, 1, kGridThin));
  const ScopedGdiObject<HPEN> wide = WideGridPen(width, height);
  for (const int spacing : {10, 100}) {
    const HGDIOBJ old = SelectObject(dc, spacing == 100 && wide_hundreds ? wide.get() : thin.get());
    for (int x = FirstGridLine(width, spacing); x < width; x += spacing)
      DrawLine(dc, x, 0, x, height);
    for (int y = FirstGridLine(height, spacing); y < height; y += spacing)
      DrawLine(dc, 0, y, width, y);
    SelectObject(dc, old);
  }
}

TouchViewRenderer::TouchViewRenderer(View view, bool wide_hundreds)
    : view_(view), wide_hundreds_(wide_hundreds), red_(CreateSolidBrush(kRed)) {}

bool TouchViewRenderer::Prepare(HDC screen, int client_width, int client_height, ViewSize size) {
  if (frame_.dc() != nullptr && client_width == width_ && client_height == height_ &&
      size.width == size_.width && size.height == size_.height) {
    return true;
  }
  width_ = client_width;
  height_ = client_height;
  size_ = size;
  if (client_width <= 0 || client_height <= 0 || !background_.Make(screen, width_, height_) ||
      !frame_.Make(screen, width_, height_)) {
    frame_.Free();
    return false;
  }
  const RECT client{0, 0, width_, height_};
  DrawBackground(background_.dc(), client, static_cast<int>(size.width),
                 static_cast<int>(size.height), wide_hundreds_);
  BitBlt(frame_.dc(), 0, 0, width_, height_, background_.dc(), 0, 0, SRCCOPY);
  // The buffer's font never changes: a row's extent is the sum of its characters' advances, and
  // a glyph may reach past its advance by its overhang.
  TEXTMETRICA metrics{};
  GetTextMetricsA(frame_.dc(), &metrics);
  text_reach_ = metrics.tmOverhang + metrics.tmMaxCharWidth;
  text_height_ = metrics.tmHeight;
  if (!GetCharWidth32A(frame_.dc(), 0, kCharCount - 1, advances_.data()))
    advances_.fill(metrics.tmMaxCharWidth);
  // What the screen holds is not known: the first frame on a new buffer is copied whole.
  last_.Reset(width_, height_);
  last_.AddAll();
  return true;
}

bool TouchViewRenderer::Draw(HDC screen, int client_width, int client_height, ViewSize size,
                             const Sections& sections, const std::atomic<bool>& run) {
  if (!Prepare(screen, client_width, client_height, size)) return false;
  // Back to the plain background where the last frame drew.
  if (last_.all()) {
    BitBlt(frame_.dc(), 0, 0, width_, height_, background_.dc(), 0, 0, SRCCOPY);
  } else {
    CopyRects(frame_.dc(), background_.dc(), last_);
  }
  current_.Reset(width_, height_);
  if (view_ == View::kCells) {
    if (!DrawCells(sections, size, run)) {
      // Stopped halfway: the frame buffer's marks are not all listed, so it starts over.
      BitBlt(frame_.dc(), 0, 0, width_, height_, background_.dc(), 0, 0, SRCCOPY);
      last_.Reset(width_, height_);
      last_.AddAll();
      return false;
    }
  } else {
    DrawPoints(sections, size);
  }
  // Where the last frame's marks were and where this frame's are, merged: a finger that moved a
  // little is one copy, not two (each copy is a round trip to the display).
  changed_ = current_;
  for (const DamageRect& rect : last_.rects())
    changed_.Add(rect);
  if (last_.all() || changed_.all()) {
    BitBlt(screen, 0, 0, width_, height_, frame_.dc(), 0, 0, SRCCOPY);
    Present();
  } else {
    PresentChanges(screen);
  }
  GdiFlush();
  std::swap(last_, current_);
  return true;
}

void TouchViewRenderer::PresentChanges(HDC screen) {
  const std::span<const DamageRect> changed = changed_.rects();
  const std::span<DamageRect> places(places_.data(), changed.size());
  std::copy(changed.begin(), changed.end(), places.begin());
  std::size_t next = 0;
  for (const std::size_t end :
       std::span(group_ends_.data(), GroupForPresenting(places, group_ends_))) {
    for (; next < end; ++next)
      Copy(screen, frame_.dc(), places[next]);
    Present();
  }
}

void TouchViewRenderer::CopyRects(HDC to, HDC from, const DamageList& damage) {
  for (const DamageRect& rect : damage.rects())
    Copy(to, from, rect);
}

void TouchViewRenderer::Text(int x, int y, const char* text, std::size_t length) {
  TextOutA(frame_.dc(), x, y, text, static_cast<int>(length));
  int width = 0;
  for (std::size_t k = 0; k < length; ++k)
    width += advances_[static_cast<unsigned char>(text[k])];
  // The row's height reaches the next row so that the rows merge into one place.
  current_.Add({x, y, x + width + text_reach_, y + std::max(text_height_, kRowPitch)});
}

void TouchViewRenderer::DrawPoints(const Sections& sections, ViewSize size) {
  const PointFrame frame = ReadPointFrame(sections.points);
  HDC dc = frame_.dc();
  SetBkColor(dc, kBlack);
  SetBkMode(dc, OPAQUE);
  SetTextColor(dc, kRed);
  Text(kTextX, kTitleY, kMultiPointTitle, std::strlen(kMultiPointTitle));
  const char* state = StateText(frame.state);
  Text(kTextX, kStateY, state, std::strlen(state));
  SetTextColor(dc, kGreen);
  if (!IsTouching(frame.state)) return;
  const HGDIOBJ old_brush = SelectObject(dc, red_.get());
  int drawn = 0;
  std::array<char, kPointRowCapacity> row{};
  ForEachTouchPoint(
      sections.points, frame,
      [&](const TouchPoint& point) {
        const int y = kFirstRowY + kRowPitch * drawn++;
        // Rows below the screen's bottom show nothing.
        if (y < height_) Text(kTextX, y, row.data(), FormatPointRow(point, row));
        if (!sections.rotation) return;
        const EllipseBox box = PointEllipse(*sections.rotation, point, size);
        const DamageRect damage = EllipseDamage(box, kOutlineWidth);
        if (damage.right <= 0 || damage.bottom <= 0 || damage.left >= width_ ||
            damage.top >= height_) {
          return;  // wholly off the screen
        }
        Ellipse(dc, box.left, box.top, box.right, box.bottom);
        current_.Add(damage);
      },
      [] {});
  SelectObject(dc, old_brush);
}

bool TouchViewRenderer::DrawCells(const Sections& sections, ViewSize size,
                                  const std::atomic<bool>& run) {
  const PointFrame frame = ReadPointFrame(sections.points);
  const RawCellFrame cells = ReadRawCellFrame(sections.cells);
  if (!IsTouching(frame.state) || cells.nx == 0 || !sections.rotation) return true;
  const std::int32_t rotation = *sections.rotation;
  const CellGrid grid = CellGridOf(size, cells.nx, cells.ny);
  const std::size_t x_count = ShadowedRuns(cells.levels.first(cells.nx), x_runs_);
  const std::size_t y_count = ShadowedRuns(cells.levels.subspan(cells.nx, cells.ny), y_runs_);
  HDC dc = frame_.dc();
  // Cells are stamped into the pixels (EllipseStamps); a cell too large for a stamp is drawn by
  // GDI with the device context's own brush, recoloured per cell, and its batch flushed, so
  // that the cells stay in order.
  const HGDIOBJ old_brush = SelectObject(dc, GetStockObject(DC_BRUSH));
  GdiFlush();
  const PixelBuffer& pixels = frame_.pixels();
  bool finished = true;
  for (std::size_t a = 0; a < x_count && finished; ++a) {
    const CellRun x_run = x_runs_[a];
    for (std::uint32_t i = x_run.first; i <= x_run.last; ++i) {
      if (!run) {
        finished = false;
        break;
      }
      const std::uint8_t vx = cells.x_level(i);
      for (std::size_t b = 0; b < y_count; ++b) {
        for (std::uint32_t j = y_runs_[b].first; j <= y_runs_[b].last; ++j) {
          const CellColour colour = CellColourOf(vx, cells.y_level(j));
          const COLORREF fill = RGB(colour.red, colour.green, colour.blue);
          const EllipseBox box = CellEllipse(rotation, i, j, grid, size);
          if (!stamps_.Draw(box, fill, pixels)) {
            SetDCBrushColor(dc, fill);
            Ellipse(dc, box.left, box.top, box.right, box.bottom);
            GdiFlush();
          }
        }
      }
    }
    for (std::size_t b = 0; b < y_count; ++b)
      current_.Add(CellBlockDamage(rotation, x_run, y_runs_[b], grid, size, kOutlineWidth));
  }
  SelectObject(dc, old_brush);
  return finished;
}

}  // namespace zorvik::panel
