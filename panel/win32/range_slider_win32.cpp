// The range slider's window side: translates mouse, key, focus and paint messages into model
// operations and draws the result off-screen, copying it to the window in one step.
#include "panel/win32/range_slider_win32.h"

#include <commctrl.h>

#include "common/win32/handle_win32.h"
#include "panel/win32/pixel_buffer_win32.h"

namespace zorvik::panel {
namespace {

int XOf(LPARAM lparam) {
  return static_cast<short>(LOWORD(lparam));
}

// An arrow whose tip touches the track position of its value: the left one points right, the
// right one points left.
void DrawArrow(HDC dc, RangeSliderModel::Span span, int height, bool points_right) {
  const int top = 1;
  const int bottom = height - 2;
  const int middle = height / 2;
  const int shoulder = span.begin + (span.end - span.begin) / 2;
  POINT points[5];
  if (points_right) {
    points[0] = {span.begin, top};
    points[1] = {shoulder, top};
    points[2] = {span.end - 1, middle};
    points[3] = {shoulder, bottom};
    points[4] = {span.begin, bottom};
  } else {
    points[0] = {span.end - 1, top};
    points[1] = {shoulder, top};
    points[2] = {span.begin, middle};
    points[3] = {shoulder, bottom};
    points[4] = {span.end - 1, bottom};
  }
  Polygon(dc, points, 5);
}

}  // namespace

CRangeSlider::CRangeSlider() {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA window_class{};
  if (GetClassInfoA(instance, kClassName, &window_class)) return;
  window_class.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  window_class.lpszClassName = kClassName;
  RegisterClassA(&window_class);
}

CRangeSlider::~CRangeSlider() {
  Detach();
}

UINT CRangeSlider::RangeChangedMessage() {
  static const UINT message =
      RegisterWindowMessageA("RANGE_CHANGED{2E7439A4-12DB-42a2-BB95-3462B3EC39CE}CRangeSlider");
  return message;
}

bool CRangeSlider::Attach(HWND window) {
  if (window_ != nullptr || window == nullptr || !IsWindow(window)) return false;
  if (!SetWindowSubclass(window, SubclassProc, reinterpret_cast<UINT_PTR>(this),
                         reinterpret_cast<DWORD_PTR>(this))) {
    return false;
  }
  window_ = window;
  Layout();
  Redraw();
  return true;
}

void CRangeSlider::Detach() {
  if (window_ == nullptr) return;
  RemoveWindowSubclass(window_, SubclassProc, reinterpret_cast<UINT_PTR>(this));
  window_ = nullptr;
}

void CRangeSlider::SetMinMax(double min, double max) {
  if (model_.SetMinMax(min, max)) NotifyParent();
  Redraw();
}

void CRangeSlider::SetRange(double left, double right) {
  if (model_.SetRange(left, right)) NotifyParent();
  Redraw();
}

void CRangeSlider::GetRange(double& left, double& right) const {
  const RangeSliderModel::Range range = model_.GetRange();
  left = range.left;
  right = range.right;
}

LRESULT CALLBACK CRangeSlider::SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                            UINT_PTR, DWORD_PTR data) {
  auto* self = reinterpret_cast<CRangeSlider*>(data);
  if (message == WM_NCDESTROY) {
    self->Detach();
    return DefSubclassProc(window, message, wparam, lparam);
  }
  return self->Handle(message, wparam, lparam);
}

LRESULT CRangeSlider::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // a quick second press is still a press
      Press(XOf(lparam));
      return 0;
    case WM_MOUSEMOVE:
      if (model_.Tracking() && model_.DragTo(XOf(lparam))) {
        NotifyParent();
        Redraw();
      }
      return 0;
    case WM_LBUTTONUP:
      Release();
      return 0;
    case WM_CAPTURECHANGED:
      // Capture taken away mid-drag (another window, a menu): the drag is over.
      if (model_.Tracking() && reinterpret_cast<HWND>(lparam) != window_) {
        model_.EndDrag();
        Redraw();
      }
      return 0;
    case WM_KEYDOWN: {
      if (wparam != VK_LEFT && wparam != VK_RIGHT) break;
      const auto arrow =
          wparam == VK_LEFT ? RangeSliderModel::Arrow::kLeft : RangeSliderModel::Arrow::kRight;
      if (model_.StepKey(arrow, GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0)) {
        NotifyParent();
        Redraw();
      }
      return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      Redraw();
      break;
    case WM_SIZE:
      Layout();
      break;
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_PAINT: {
      PAINTSTRUCT paint;
      if (HDC dc = BeginPaint(window_, &paint)) {
        Paint(dc);
        EndPaint(window_, &paint);
      }
      return 0;
    }
    case WM_PRINTCLIENT:
      Paint(reinterpret_cast<HDC>(wparam));
      return 0;
    default:
      break;
  }
  return DefSubclassProc(window_, message, wparam, lparam);
}

void CRangeSlider::Press(int x) {
  SetFocus(window_);
  Redraw();
  if (model_.Tracking()) return;
  Layout();
  if (model_.BeginDrag(x)) SetCapture(window_);
}

void CRangeSlider::Release() {
  if (!model_.Tracking()) return;
  model_.EndDrag();  // before releasing, so WM_CAPTURECHANGED finds no drag
  ReleaseCapture();
  Redraw();
}

void CRangeSlider::Layout() {
  RECT client{};
  GetClientRect(window_, &client);
  model_.Layout(client.right - client.left, client.bottom - client.top);
}

void CRangeSlider::NotifyParent() {
  if (window_ == nullptr) return;
  if (HWND parent = GetParent(window_)) {
    SendMessageA(parent, RangeChangedMessage(), static_cast<WPARAM>(GetDlgCtrlID(window_)),
                 reinterpret_cast<LPARAM>(window_));
  }
}

void CRangeSlider::Redraw() {
  if (window_ != nullptr) InvalidateRect(window_, nullptr, FALSE);
}

void CRangeSlider::Paint(HDC target) {
  if (target == nullptr) return;
  RECT client{};
  GetClientRect(window_, &client);
  if (client.right <= 0 || client.bottom <= 0) return;
  Layout();
  PixelSurface buffer;
  if (!buffer.Make(target, client.right, client.bottom)) {
    Draw(target, client);  // no memory for a buffer: draw directly rather than not at all
    return;
  }
  Draw(buffer.dc(), client);
  BitBlt(target, 0, 0, client.right, client.bottom, buffer.dc(), 0, 0, SRCCOPY);
}

void CRangeSlider::Draw(HDC dc, const RECT& client) {
  const bool enabled = IsWindowEnabled(window_) != FALSE;
  const int height = client.bottom;
  const int middle = height / 2;
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));

  const int arrow = model_.ArrowWidth();
  RECT track{arrow, middle - 2, arrow + model_.TrackLength(), middle + 2};
  DrawEdge(dc, &track, EDGE_SUNKEN, BF_RECT);

  const RangeSliderModel::Span bar = model_.Bar();
  const RECT bar_rect{bar.begin, height / 4, bar.end, height - height / 4};
  FillRect(dc, &bar_rect, GetSysColorBrush(enabled ? COLOR_HIGHLIGHT : COLOR_BTNSHADOW));

  // Stock DC pen and brush take a colour without creating (and leaking) GDI objects.
  const COLORREF handle = GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
  const HGDIOBJ old_pen = SelectObject(dc, GetStockObject(DC_PEN));
  const HGDIOBJ old_brush = SelectObject(dc, GetStockObject(DC_BRUSH));
  SetDCPenColor(dc, handle);
  SetDCBrushColor(dc, handle);
  DrawArrow(dc, model_.LeftHandle(), height, true);
  DrawArrow(dc, model_.RightHandle(), height, false);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_pen);

  if (GetFocus() == window_) DrawFocusRect(dc, &client);
}

}  // namespace zorvik::panel
