// The full-screen touch screen dialog: an empty popup built in memory, placed on the active
// monitor, with the calibration procedure on the user-interface thread and a touch-data thread
// that draws the multi-point views from the USB service's shared sections.
#include "panel/win32/touch_screen_dlg_win32.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <vector>

#include "common/kernel_object_names.h"
#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"
#include "panel/calibration_model.h"
#include "panel/touch_view_model.h"
#include "panel/view_frame_pacer.h"
#include "panel/win32/monitors_win32.h"
#include "panel/win32/palette_win32.h"
#include "panel/win32/touch_view_renderer_win32.h"

namespace zorvik::panel {
namespace {

constexpr int kExitButton = 101;
constexpr int kExitSize = 50;
constexpr UINT_PTR kBlinkTimer = 1;
constexpr UINT kBlinkPeriodMs = 200;
// How long the touch-data thread waits before trying the point event again when the USB
// service has not created it (yet).
constexpr DWORD kReopenPeriodMs = 500;
constexpr int kTargetRadius = 10;
constexpr int kRingWidth = 5;
constexpr int kStrokeWidth = 3;
constexpr int kCrossArm = 5;

constexpr char kRegistryError[] = "Error! Cannot create registry key!";
constexpr char kCaption[] = "Orbisk Touch Controller System";

using Pen = ScopedGdiObject<HPEN>;

// Selects an object into a device context for one scope.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~Selected() { SelectObject(dc_, old_); }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// The window's device context for one scope.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

void Circle(HDC dc, int x, int y) {
  Ellipse(dc, x - kTargetRadius, y - kTargetRadius, x + kTargetRadius, y + kTargetRadius);
}

// A steady clock in microseconds, for the views' pacing.
std::int64_t NowUs() {
  static const std::int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return f.QuadPart > 0 ? f.QuadPart : 1;
  }();
  LARGE_INTEGER count{};
  QueryPerformanceCounter(&count);
  return count.QuadPart / frequency * 1'000'000 +
         count.QuadPart % frequency * 1'000'000 / frequency;
}

std::vector<MonitorRect> MonitorRects() {
  std::vector<MonitorRect> rects;
  for (const Monitor& monitor : EnumerateMonitors())
    rects.push_back(monitor.rect);
  return rects;
}

MonitorRect ClientRect(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return {client.left, client.top, client.right, client.bottom};
}

// The drawing test's strokes on the window, straight onto the screen.
class WindowCanvas final : public DrawingCanvas {
 public:
  WindowCanvas(HWND window, int text_x) : dc_(window), text_x_(text_x) {}

  void Cross(Pen pen, std::int32_t x, std::int32_t y) override {
    if (dc_.get() == nullptr) return;
    const panel::Pen stroke(
        CreatePen(PS_SOLID, kStrokeWidth, pen == Pen::kYellow ? kYellow : kRed));
    const Selected selected(dc_.get(), stroke.get());
    DrawLine(dc_.get(), x - kCrossArm, y - kCrossArm, x + kCrossArm, y + kCrossArm);
    DrawLine(dc_.get(), x + kCrossArm, y - kCrossArm, x - kCrossArm, y + kCrossArm);
  }
  void Line(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) override {
    if (dc_.get() == nullptr) return;
    const panel::Pen stroke(CreatePen(PS_SOLID, kStrokeWidth, kWhite));
    const Selected selected(dc_.get(), stroke.get());
    DrawLine(dc_.get(), x0, y0, x1, y1);
  }
  void Text(const std::string& text) override {
    if (dc_.get() == nullptr) return;
    TextOutA(dc_.get(), text_x_, 0, text.data(), static_cast<int>(text.size()));
  }

 private:
  WindowDc dc_;
  int text_x_;
};

// An empty popup: no caption, no controls. Children are clipped so that the frames the
// touch-data thread copies onto the window never cover the "Exit" button.
struct alignas(DWORD) EmptyTemplate {
  DLGTEMPLATE dialog;
  WORD menu;
  WORD window_class;
  WORD title;
};

}  // namespace

class CTouchScreenDlg::Impl {
 public:
  Impl(SettingsStore& store, int screen_mode, int multi_point, ServiceEventPointers events)
      : store_(store), mode_(screen_mode), multi_point_(multi_point), events_(events) {
    width_ = GetSystemMetrics(SM_CXSCREEN);
    height_ = GetSystemMetrics(SM_CYSCREEN);
  }
  ~Impl() {
    StopTouchThread();
    if (point_view_ != nullptr) UnmapViewOfFile(point_view_);
    if (cell_view_ != nullptr) UnmapViewOfFile(cell_view_);
  }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  INT_PTR DoModal(HWND parent) {
    EmptyTemplate empty{};
    empty.dialog.style = WS_POPUP | WS_CLIPCHILDREN | DS_SETFOREGROUND;
    empty.dialog.cx = 200;
    empty.dialog.cy = 150;
    return DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &empty.dialog, parent, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
  }

 private:
  bool calibrating() const { return mode_ == kCalibrationMode; }
  bool single_point() const { return !calibrating() && multi_point_ == 0; }

  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrA(window, DWLP_USER, lparam);
      reinterpret_cast<Impl*>(lparam)->window_ = window;
    }
    auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrA(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    return self->Dispatch(message, wparam, lparam);
  }

  INT_PTR Dispatch(UINT message, WPARAM wparam, LPARAM lparam) {
    const int x = static_cast<short>(LOWORD(lparam));
    const int y = static_cast<short>(HIWORD(lparam));
    switch (message) {
      case WM_INITDIALOG:
        OnInitDialog();
        return FALSE;  // the focus stays where OnInitDialog left it
      case WM_SIZE:
        OnSize(LOWORD(lparam), HIWORD(lparam));
        return TRUE;
      case WM_ERASEBKGND:
        SetWindowLongPtrA(window_, DWLP_MSGRESULT, 1);  // WM_PAINT fills the background
        return TRUE;
      case WM_PAINT:
        OnPaint();
        return TRUE;
      case WM_TIMER:
        if (wparam == kBlinkTimer && calibrating()) OnBlink();
        return TRUE;
      case WM_LBUTTONDOWN:
        if (single_point()) {
          WindowCanvas canvas = Canvas();
          drawing_.ButtonDown(x, y, canvas);
        }
        return TRUE;
      case WM_MOUSEMOVE:
        if (single_point()) {
          WindowCanvas canvas = Canvas();
          drawing_.Move(x, y, wparam == MK_LBUTTON, canvas);
        }
        return TRUE;
      case WM_LBUTTONUP:
        if (calibrating()) {
          OnCalibrationTouch({x, y});
        } else if (single_point()) {
          WindowCanvas canvas = Canvas();
          drawing_.ButtonUp(x, y, canvas);
        }
        return TRUE;
      case WM_COMMAND:
        // "Exit", and Esc or Enter through the dialog manager.
        if (LOWORD(wparam) == kExitButton || LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
          Exit();
          return TRUE;
        }
        return FALSE;
      case WM_DESTROY:
        // However the dialog ends, the thread drawing on it ends first.
        KillTimer(window_, kBlinkTimer);
        StopTouchThread();
        return FALSE;
      default:
        if (message == FramesDrawnMessage()) {
          SetWindowLongPtrA(window_, DWLP_MSGRESULT, frames_drawn_.load());
          return TRUE;
        }
        return FALSE;
    }
  }

  static UINT FramesDrawnMessage() {
    static const UINT message = RegisterWindowMessageA(kFramesDrawnMessage);
    return message;
  }

  WindowCanvas Canvas() { return WindowCanvas(window_, static_cast<int>(width_.load() / 2)); }

  void OnInitDialog() {
    procedure_ = CalibrationProcedure();
    blink_ = false;
    exit_button_ = CreateWindowExA(0, "BUTTON", "Exit", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0,
                                   kExitSize, kExitSize, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kExitButton)),
                                   GetModuleHandleA(nullptr), nullptr);
    SendMessageA(exit_button_, WM_SETFONT,
                 reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    // With the focus on "Exit", Enter presses it and Esc cancels, both ending the dialog.
    SetFocus(exit_button_);
    if (calibrating()) {
      // The identity set first: while it is in force the services report uncorrected positions,
      // which are what the procedure records.
      if (!WriteCalibration(store_, CalibrationMonitor(store_), CalibrationMatrix{})) {
        MessageBoxA(window_, kRegistryError, kCaption, MB_OK | MB_ICONSTOP);
        EndDialog(window_, 0);
        return;
      }
      SignalIdentityBeforeRecording(events_);
      SetTimer(window_, kBlinkTimer, kBlinkPeriodMs, nullptr);
    }
    ShowWindow(window_, SW_SHOWMAXIMIZED);
    StartTouchThread();
  }

  void OnSize(int client_width, int client_height) {
    width_ = client_width;
    height_ = client_height;
    if (exit_button_ != nullptr) {
      MoveWindow(exit_button_, client_width - kExitSize, client_height - kExitSize, kExitSize,
                 kExitSize, TRUE);
    }
    // Placing the window sizes it again; that second WM_SIZE only takes the new size.
    if (placing_) return;
    placing_ = true;
    const std::vector<MonitorRect> monitors = MonitorRects();
    const auto place = TouchScreenPlace(
        ReadMultiMonValues(store_), LookUpActiveMonitor(store_), monitors,
        {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, ClientRect(window_));
    if (place) {
      SetWindowPos(window_, HWND_TOPMOST, place->x, place->y, place->cx, place->cy, SWP_SHOWWINDOW);
    }
    placing_ = false;
  }

  void OnPaint() {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window_, &paint);
    RECT client{};
    GetClientRect(window_, &client);
    const int w = static_cast<int>(width_.load()), h = static_cast<int>(height_.load());
    DrawBackground(dc, client, w, h, mode_ == kDrawingTestMode);
    if (calibrating()) DrawGuides(dc, w, h);
    EndPaint(window_, &paint);
  }

  // The four targets' circles and guide lines: across the width through targets 0 and 3, over
  // the height through targets 1 and 2.
  void DrawGuides(HDC dc, int w, int h) {
    const Pen pen = WideGridPen(w, h);
    const Selected selected_pen(dc, pen.get());
    const Selected selected_brush(dc, GetStockObject(HOLLOW_BRUSH));
    const auto targets = DrawnTargets(w, h);
    for (int i = 0; i < kTargetCount; ++i) {
      const ClientPoint t = targets[i];
      Circle(dc, t.x, t.y);
      if (i == 0 || i == 3) {
        DrawLine(dc, 0, t.y, w, t.y);
      } else {
        DrawLine(dc, t.x, 0, t.x, h);
      }
    }
  }

  // Targets already touched become white discs; the current one blinks red and yellow.
  void OnBlink() {
    // The targets follow the client rectangle, as the matrix does, so that on a monitor of
    // another size than the primary screen the drawn targets still sit on the matrix targets.
    const MonitorRect client = ClientRect(window_);
    width_ = client.right - client.left;
    height_ = client.bottom - client.top;
    const WindowDc dc(window_);
    if (dc.get() == nullptr) return;
    const auto targets =
        DrawnTargets(static_cast<int>(width_.load()), static_cast<int>(height_.load()));
    {
      const Selected brush(dc.get(), GetStockObject(WHITE_BRUSH));
      for (int i = 0; i < procedure_.current(); ++i)
        Circle(dc.get(), targets[i].x, targets[i].y);
    }
    const Pen ring(CreatePen(PS_SOLID, kRingWidth, blink_ ? kYellow : kRed));
    blink_ = !blink_;
    const Selected pen(dc.get(), ring.get());
    const Selected brush(dc.get(), GetStockObject(HOLLOW_BRUSH));
    const ClientPoint current = targets[procedure_.current()];
    Circle(dc.get(), current.x, current.y);
  }

  void OnCalibrationTouch(ClientPoint touch) {
    if (procedure_.Record(touch) != CalibrationProcedure::Step::kDone) return;
    KillTimer(window_, kBlinkTimer);
    const CalibrationMatrix matrix = procedure_.Matrix(ClientRect(window_));
    // Degenerate touches leave the identity set of the start in force.
    if (matrix.Divider != 0 && !WriteCalibration(store_, CalibrationMonitor(store_), matrix)) {
      MessageBoxA(window_, kRegistryError, kCaption, MB_OK | MB_ICONSTOP);
    }
    EndDialog(window_, 0);
  }

  void Exit() {
    StopTouchThread();
    EndDialog(window_, 0);
  }

  // The touch-data thread.
  void StartTouchThread() {
    if (thread_) return;
    stop_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    run_ = true;
    thread_.reset(CreateThread(nullptr, 0, &Impl::TouchThread, this, 0, nullptr));
    if (!thread_) run_ = false;
  }

  // Clears the run flag, wakes the thread through its own stop event (the point event is shared
  // with other readers, so it is not set for this) and waits for it, answering messages sent to
  // this thread meanwhile so that nothing the drawing does can wait on us in turn.
  void StopTouchThread() {
    if (!thread_) return;
    run_ = false;
    if (stop_) SetEvent(stop_.get());
    HANDLE thread = thread_.get();
    while (true) {
      const DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE);
      if (woke != WAIT_OBJECT_0 + 1) break;
      MSG message;
      PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    thread_.reset();
    stop_.reset();
  }

  static DWORD WINAPI TouchThread(void* self) { return static_cast<Impl*>(self)->RunTouchThread(); }

  DWORD RunTouchThread() {
    OpenSharedSection(point_section_, point_view_, names::kPointSection, kPointSectionBytes);
    OpenSharedSection(cell_section_, cell_view_, names::kRawCellSection, kRawCellSectionBytes);
    ScopedKernelHandle point_event(OpenEventA(SYNCHRONIZE, FALSE, names::kPointEventAll));
    if (multi_point_ == 0) return 0;
    TouchViewRenderer renderer(mode_ == kMultiTouchViewMode ? TouchViewRenderer::View::kCells
                                                            : TouchViewRenderer::View::kPoints,
                               mode_ == kDrawingTestMode);
    ViewFramePacer pacer(RefreshRate());
    // Kept for the thread's life rather than taken per frame: each take is a round trip to the
    // window manager's records, sixty times a second.
    const WindowDc dc(window_);
    ScreenRotationReader rotation(store_);
    while (run_) {
      if (!point_event) {
        // The USB service is not running (yet): look again later, without spinning.
        WaitForSingleObject(stop_.get(), kReopenPeriodMs);
        point_event.reset(OpenEventA(SYNCHRONIZE, FALSE, names::kPointEventAll));
        continue;
      }
      const HANDLE waits[] = {stop_.get(), point_event.get()};
      // A frame held for the next refresh is drawn when the wait times out; frames published
      // meanwhile need no wake.
      const DWORD count = pacer.WaitsForFrames() ? 2 : 1;
      const DWORD woke = WaitForMultipleObjectsEx(count, waits, FALSE, pacer.WaitMs(NowUs()), TRUE);
      ViewFramePacer::Action action = ViewFramePacer::Action::kNothing;
      if (woke == WAIT_OBJECT_0 + 1) {
        action = pacer.Handle(ViewFramePacer::Event::kFramePublished, NowUs());
      } else if (woke == WAIT_TIMEOUT) {
        action = pacer.Handle(ViewFramePacer::Event::kWaitTimedOut, NowUs());
      } else if (woke == WAIT_FAILED) {
        WaitForSingleObject(stop_.get(), kReopenPeriodMs);
      }
      if (action == ViewFramePacer::Action::kDraw && run_) DrawFrame(renderer, dc.get(), rotation);
    }
    return 1;
  }

  // The display's refresh rate; the pacer takes the unknown answers (0, 1) as 60 Hz.
  std::uint32_t RefreshRate() const {
    const WindowDc dc(window_);
    return dc.get() == nullptr ? 0 : static_cast<std::uint32_t>(GetDeviceCaps(dc.get(), VREFRESH));
  }

  std::span<const std::uint8_t> PointView() const {
    return point_view_ ? std::span<const std::uint8_t>(point_view_, kPointSectionBytes)
                       : std::span<const std::uint8_t>();
  }
  std::span<const std::uint8_t> CellView() const {
    return cell_view_ ? std::span<const std::uint8_t>(cell_view_, kRawCellSectionBytes)
                      : std::span<const std::uint8_t>();
  }

  // The newest frame, drawn off-screen; what changed is copied to the window.
  void DrawFrame(TouchViewRenderer& renderer, HDC dc, ScreenRotationReader& rotation) {
    if (dc == nullptr) return;
    RECT client{};
    GetClientRect(window_, &client);
    // Read once per frame, not per mark: a frame may hold ten thousand points, and a change
    // within one frame is one no user could see.
    const TouchViewRenderer::Sections sections{PointView(), CellView(), rotation.Read()};
    // The window clips its children: no copy covers "Exit", which so stays above every frame.
    if (!renderer.Draw(dc, client.right, client.bottom, {width_.load(), height_.load()}, sections,
                       run_)) {
      return;
    }
    frames_drawn_.fetch_add(1, std::memory_order_relaxed);
  }

  SettingsStore& store_;
  const int mode_;
  const int multi_point_;
  const ServiceEventPointers events_;
  HWND window_ = nullptr;
  HWND exit_button_ = nullptr;
  // The screen's size as the views use it; the touch-data thread reads it too.
  std::atomic<double> width_{0};
  std::atomic<double> height_{0};
  bool placing_ = false;

  CalibrationProcedure procedure_;
  bool blink_ = false;
  DrawingTest drawing_;

  std::atomic<bool> run_{false};
  // Frames the views drew, for the benchmark (kFramesDrawnMessage).
  std::atomic<std::uint32_t> frames_drawn_{0};
  ScopedKernelHandle thread_;
  ScopedKernelHandle stop_;
  // Set up by the touch-data thread, released with the dialog.
  ScopedKernelHandle point_section_;
  ScopedKernelHandle cell_section_;
  std::uint8_t* point_view_ = nullptr;
  std::uint8_t* cell_view_ = nullptr;
};

CTouchScreenDlg::CTouchScreenDlg(SettingsStore& store, int screen_mode, int multi_point,
                                 ServiceEventPointers events)
    : impl_(std::make_unique<Impl>(store, screen_mode, multi_point, events)) {}

CTouchScreenDlg::~CTouchScreenDlg() = default;

INT_PTR CTouchScreenDlg::DoModal(HWND parent) {
  return impl_->DoModal(parent);
}

}  // namespace zorvik::panel
