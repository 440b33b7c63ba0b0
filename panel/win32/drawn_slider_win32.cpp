// The drawn slider: answers the trackbar's NM_CUSTOMDRAW with its own thumb and channel, in
// shades derived once from the button-face colour.
#include "panel/win32/drawn_slider_win32.h"

#include <algorithm>

namespace zorvik::panel {
namespace {

constexpr int kShadeStep = 51;
constexpr int kCorner = 2;  // width and height of the rounded corners

COLORREF Halfway(COLORREF a, COLORREF b) {
  return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2,
             (GetBValue(a) + GetBValue(b)) / 2);
}

// Selects a pen and the DC brush for one shape and puts the old ones back afterwards.
class Tools {
 public:
  Tools(HDC dc, HPEN pen, COLORREF fill)
      : dc_(dc),
        old_pen_(SelectObject(dc, pen != nullptr ? pen : GetStockObject(BLACK_PEN))),
        old_brush_(SelectObject(dc, GetStockObject(DC_BRUSH))) {
    SetDCBrushColor(dc, fill);
  }
  ~Tools() {
    SelectObject(dc_, old_brush_);
    SelectObject(dc_, old_pen_);
  }
  Tools(const Tools&) = delete;
  Tools& operator=(const Tools&) = delete;

  void Pen(HPEN pen) const {
    if (pen != nullptr) SelectObject(dc_, pen);
  }

 private:
  HDC dc_;
  HGDIOBJ old_pen_;
  HGDIOBJ old_brush_;
};

void Line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

}  // namespace

COLORREF CDrawnSlider::Shade(COLORREF face, int steps) {
  const auto move = [steps](int channel) {
    return std::clamp(channel + steps * kShadeStep, 0, 255);
  };
  return RGB(move(GetRValue(face)), move(GetGValue(face)), move(GetBValue(face)));
}

CDrawnSlider::CDrawnSlider()
    : face_(GetSysColor(COLOR_BTNFACE)),
      channel_(GetSysColor(COLOR_WINDOW)),
      selection_(GetSysColor(COLOR_HIGHLIGHT)),
      edge_light_(Halfway(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNSHADOW))),
      edge_dark_(Halfway(GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_3DDKSHADOW))) {
  for (int index = 0; index < kShades; ++index) {
    shades_[index] = Shade(face_, index - kFace);
    shade_pens_[index].reset(CreatePen(PS_SOLID, 1, shades_[index]));
  }
  edge_light_pen_.reset(CreatePen(PS_SOLID, 1, edge_light_));
  edge_dark_pen_.reset(CreatePen(PS_SOLID, 1, edge_dark_));
}

CDrawnSlider::~CDrawnSlider() {
  if (window_ != nullptr && IsWindow(window_)) ReflectedControl::Bind(window_, nullptr);
}

void CDrawnSlider::Attach(HWND trackbar) {
  if (window_ != nullptr || trackbar == nullptr) return;
  window_ = trackbar;
  ReflectedControl::Bind(window_, this);
  InvalidateRect(window_, nullptr, TRUE);
}

HPEN CDrawnSlider::ShadePen(int index) const {
  return shade_pens_[std::clamp(index, 0, kShades - 1)].get();
}

bool CDrawnSlider::OnReflected(UINT message, WPARAM, LPARAM lparam, LRESULT* result) {
  if (message != WM_NOTIFY || lparam == 0) return false;
  const auto* header = reinterpret_cast<const NMHDR*>(lparam);
  if (header->code != static_cast<UINT>(NM_CUSTOMDRAW)) return false;
  *result = CustomDraw(*reinterpret_cast<const NMCUSTOMDRAW*>(lparam));
  return true;
}

LRESULT CDrawnSlider::CustomDraw(const NMCUSTOMDRAW& draw) const {
  if (draw.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
  switch (draw.dwItemSpec) {
    case TBCD_THUMB:
      // Windows marks a dragged thumb selected, Wine marks it hot.
      DrawThumb(draw.hdc, draw.rc, (draw.uItemState & (CDIS_SELECTED | CDIS_HOT)) != 0);
      return CDRF_SKIPDEFAULT;
    case TBCD_CHANNEL:
      DrawChannel(draw.hdc, draw.rc);
      return CDRF_SKIPDEFAULT;
    default:
      return CDRF_DODEFAULT;  // tick marks
  }
}

void CDrawnSlider::DrawThumb(HDC dc, const RECT& rect, bool pressed) const {
  const int up = pressed ? 1 : 0;
  const int l = rect.left;
  const int t = rect.top;
  const int r = rect.right;
  const int b = rect.bottom;
  if (r - l < 4 || b - t < 4) return;

  const Tools tools(dc, ShadePen(0 + up), shades_[std::min(kFace + up, kShades - 1)]);
  RoundRect(dc, l, t, r, b, kCorner, kCorner);
  // Raised edge: light along the top and left, dark along the bottom and right.
  tools.Pen(ShadePen(kFace + 1 + up));
  Line(dc, l + 1, b - 2, l + 1, t + 1);
  LineTo(dc, r - 1, t + 1);
  tools.Pen(ShadePen(kFace - 1 + up));
  Line(dc, r - 2, t + 2, r - 2, b - 2);
  LineTo(dc, l + 1, b - 2);
  SetPixel(dc, l + 1, t + 1, shades_[kShades - 1]);
  SetPixel(dc, r - 2, b - 2, shades_[std::min(up, kShades - 1)]);

  // Three grip dots along the long side, each a light pixel over a dark one.
  const bool upright = b - t >= r - l;
  const int cx = (l + r) / 2 - 1;
  const int cy = (t + b) / 2 - 1;
  if ((upright ? b - t : r - l) < 12) return;
  for (const int offset : {-3, 0, 3}) {
    const int x = upright ? cx : cx + offset;
    const int y = upright ? cy + offset : cy;
    SetPixel(dc, x, y, shades_[kShades - 1]);
    SetPixel(dc, x + 1, y + 1, shades_[std::max(kFace - 1 + up, 0)]);
  }
}

void CDrawnSlider::DrawChannel(HDC dc, const RECT& rect) const {
  const bool enabled = IsWindowEnabled(window_) != FALSE;
  const LONG style = GetWindowLongA(window_, GWL_STYLE);
  const bool vertical = (style & TBS_VERT) != 0;
  {
    const Tools tools(dc, edge_dark_pen_.get(), enabled ? channel_ : face_);
    RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, kCorner, kCorner);
    // The groove's inner shadow along its upper (or left) side.
    tools.Pen(edge_light_pen_.get());
    if (vertical) {
      Line(dc, rect.left + 1, rect.top + 1, rect.left + 1, rect.bottom - 1);
    } else {
      Line(dc, rect.left + 1, rect.top + 1, rect.right - 1, rect.top + 1);
    }
  }

  if ((style & TBS_ENABLESELRANGE) == 0) return;
  const auto min = static_cast<long long>(SendMessageA(window_, TBM_GETRANGEMIN, 0, 0));
  const auto max = static_cast<long long>(SendMessageA(window_, TBM_GETRANGEMAX, 0, 0));
  auto start = static_cast<long long>(SendMessageA(window_, TBM_GETSELSTART, 0, 0));
  auto end = static_cast<long long>(SendMessageA(window_, TBM_GETSELEND, 0, 0));
  if (max <= min) return;
  start = std::clamp(start, min, max);
  end = std::clamp(end, min, max);
  if (end <= start) return;

  // Positions map onto the channel less half a thumb at each end, as the thumb's centre does.
  RECT thumb{};
  SendMessageA(window_, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
  const long long half = vertical ? (thumb.bottom - thumb.top) / 2 : (thumb.right - thumb.left) / 2;
  const long long first = vertical ? rect.top : rect.left;
  const long long length = (vertical ? rect.bottom - rect.top : rect.right - rect.left) - 2 * half;
  const auto at = [&](long long position) {
    return static_cast<int>(first + half + (position - min) * length / (max - min));
  };
  const RECT selected = vertical ? RECT{rect.left + 2, at(start), rect.right - 2, at(end)}
                                 : RECT{at(start), rect.top + 2, at(end), rect.bottom - 2};
  const HGDIOBJ old_brush = SelectObject(dc, GetStockObject(DC_BRUSH));
  SetDCBrushColor(dc, selection_);
  FillRect(dc, &selected, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  SelectObject(dc, old_brush);
}

}  // namespace zorvik::panel
