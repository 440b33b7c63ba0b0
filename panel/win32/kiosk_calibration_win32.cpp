// The kiosk calibration's window: a topmost popup over one monitor that hands each button-up
// (the touch data path of the panel's calibration: the services move the pointer) and the time
// to the portable run, draws its targets, refusal mark and result, and stores what the run found.
#include "panel/win32/kiosk_calibration_win32.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/kernel_object_names.h"
#include "common/registry_settings_store_win32.h"
#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"
#include "panel/calibration_model.h"
#include "panel/kiosk_calibration.h"
#include "panel/win32/monitors_win32.h"
#include "panel/win32/palette_win32.h"
#include "panel/win32/pixel_buffer_win32.h"
#include "panel/win32/service_events_win32.h"

namespace zorvik::panel {
namespace {

constexpr char kWindowClass[] = "OrbiskKioskCalibration";
constexpr char kCaption[] = "Orbisk calibration";
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 50;
constexpr int kRadius = 12;
constexpr int kMarkArm = 24;

constexpr COLORREF kPassGreen = RGB(0, 200, 0);
constexpr COLORREF kGrey = RGB(100, 100, 100);

using Pen = ScopedGdiObject<HPEN>;
using Brush = ScopedGdiObject<HBRUSH>;

std::int64_t NowMs() {
  return static_cast<std::int64_t>(GetTickCount64());
}

UtcTime NowUtc() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

// The monitor's physical size from its display device, when the system knows it.
MillimetreScale ScaleOf(const Monitor& monitor) {
  const std::int32_t w = monitor.rect.right - monitor.rect.left;
  const std::int32_t h = monitor.rect.bottom - monitor.rect.top;
  double w_mm = 0, h_mm = 0;
  // A monitor's own device context: its device name as the driver name.
  HDC dc = CreateDCA(monitor.name.c_str(), nullptr, nullptr, nullptr);
  if (dc == nullptr) dc = CreateDCA("DISPLAY", monitor.name.c_str(), nullptr, nullptr);
  if (dc != nullptr) {
    w_mm = GetDeviceCaps(dc, HORZSIZE);
    h_mm = GetDeviceCaps(dc, VERTSIZE);
    DeleteDC(dc);
  }
  return ScaleFor(w, h, w_mm, h_mm);
}

std::string Format(const char* format, double a, double b) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

class KioskWindow {
 public:
  KioskWindow(KioskCalibrationRun& run, const KioskOptions& options, bool measured)
      : run_(run), options_(options), measured_(measured) {}

  bool Create(HINSTANCE instance, const MonitorRect& rect) {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = &KioskWindow::Procedure;
    window_class.hInstance = instance;
    window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    window_class.lpszClassName = kWindowClass;
    RegisterClassA(&window_class);
    window_ = CreateWindowExA(WS_EX_TOPMOST, kWindowClass, kCaption, WS_POPUP | WS_VISIBLE,
                              rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                              nullptr, nullptr, instance, this);
    if (window_ == nullptr) return false;
    SetForegroundWindow(window_);
    SetFocus(window_);
    SetTimer(window_, kTickTimer, kTickMs, nullptr);
    return true;
  }

  // Messages until the run has ended.
  void Loop() {
    MSG message;
    while (run_.state() != KioskCalibrationRun::State::kEnded &&
           GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (window_ != nullptr) DestroyWindow(window_);
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(l);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<KioskWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    return self != nullptr ? self->Handle(window, message, w, l)
                           : DefWindowProcA(window, message, w, l);
  }

  LRESULT Handle(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
      case WM_LBUTTONDOWN:
        contacts_ = Contacts();
        return 0;
      case WM_MOUSEMOVE:
        if (w & MK_LBUTTON) contacts_ = std::max(contacts_, Contacts());
        return 0;
      case WM_LBUTTONUP:
        contacts_ = std::max(contacts_, Contacts());
        run_.Touch({static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))}, contacts_,
                   NowMs());
        contacts_ = 1;
        Redraw(window);
        return 0;
      case WM_TIMER:
        Tick(window);
        return 0;
      case WM_KEYDOWN:
        if (w == VK_ESCAPE) {
          run_.Cancel(NowMs());
          Redraw(window);
        }
        return 0;
      case WM_CLOSE:
        run_.Cancel(NowMs());
        return 0;
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT:
        Paint(window);
        return 0;
      default:
        return DefWindowProcA(window, message, w, l);
    }
  }

  void Tick(HWND window) {
    const auto state = run_.state();
    run_.Tick(NowMs());
    blink_ = !blink_;
    if (state != run_.state() || run_.state() == KioskCalibrationRun::State::kAwaitingTouch) {
      Redraw(window);
    }
  }

  static void Redraw(HWND window) { InvalidateRect(window, nullptr, FALSE); }

  // The pointer carries one contact; the USB service's point section tells of a second finger
  // on a controller that sends cell frames. Mapped when first needed: the service may start later.
  int Contacts() {
    if (!points_) {
      section_.reset(OpenExistingSection(names::kPointSection, FILE_MAP_READ));
      if (section_)
        points_.reset(MapViewOfFile(section_.get(), FILE_MAP_READ, 0, 0, kPointSectionBytes));
    }
    if (!points_) return 1;
    return ContactsInPointFrame(ReadPointFrame({points_.bytes(), kPointSectionBytes}));
  }

  void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    // Drawn off screen, then copied: no flicker at the blink. Without memory for the buffer,
    // drawn directly rather than not at all.
    PixelSurface buffer;
    buffer.Make(dc, client.right, client.bottom);
    Draw(buffer.dc() != nullptr ? buffer.dc() : dc, client);
    if (buffer.dc() != nullptr) {
      BitBlt(dc, 0, 0, client.right, client.bottom, buffer.dc(), 0, 0, SRCCOPY);
    }
    EndPaint(window, &paint);
  }

  void Draw(HDC dc, const RECT& client) {
    const Brush background(CreateSolidBrush(kBlack));
    FillRect(dc, &client, background.get());
    SetBkMode(dc, TRANSPARENT);
    if (run_.state() == KioskCalibrationRun::State::kShowingResult ||
        run_.state() == KioskCalibrationRun::State::kEnded) {
      DrawResult(dc, client);
    } else {
      DrawTargets(dc, client);
    }
  }

  static void Text(HDC dc, const RECT& client, int y, const std::string& text, COLORREF colour) {
    SetTextColor(dc, colour);
    RECT line{client.left, y, client.right, y + 24};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &line,
              DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
  }

  static void Disc(HDC dc, ClientPoint at, COLORREF colour) {
    const Brush brush(CreateSolidBrush(colour));
    const Pen pen(CreatePen(PS_SOLID, 1, colour));
    HGDIOBJ old_brush = SelectObject(dc, brush.get());
    HGDIOBJ old_pen = SelectObject(dc, pen.get());
    Ellipse(dc, at.x - kRadius / 2, at.y - kRadius / 2, at.x + kRadius / 2, at.y + kRadius / 2);
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
  }

  static void Ring(HDC dc, ClientPoint at, COLORREF colour, int width) {
    const Pen pen(CreatePen(PS_SOLID, width, colour));
    HGDIOBJ old_pen = SelectObject(dc, pen.get());
    HGDIOBJ old_brush = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
    Ellipse(dc, at.x - kRadius, at.y - kRadius, at.x + kRadius, at.y + kRadius);
    MoveToEx(dc, at.x - 2 * kRadius, at.y, nullptr);
    LineTo(dc, at.x + 2 * kRadius + 1, at.y);
    MoveToEx(dc, at.x, at.y - 2 * kRadius, nullptr);
    LineTo(dc, at.x, at.y + 2 * kRadius + 1);
    SelectObject(dc, old_brush);
    SelectObject(dc, old_pen);
  }

  // The refusal mark: a red cross over the target.
  static void Cross(HDC dc, ClientPoint at) {
    const Pen pen(CreatePen(PS_SOLID, 5, kRed));
    HGDIOBJ old_pen = SelectObject(dc, pen.get());
    MoveToEx(dc, at.x - kMarkArm, at.y - kMarkArm, nullptr);
    LineTo(dc, at.x + kMarkArm, at.y + kMarkArm);
    MoveToEx(dc, at.x + kMarkArm, at.y - kMarkArm, nullptr);
    LineTo(dc, at.x - kMarkArm, at.y + kMarkArm);
    SelectObject(dc, old_pen);
  }

  void DrawTargets(HDC dc, const RECT& client) {
    const auto& targets = run_.targets();
    for (std::size_t i = 0; i < run_.current() && i < targets.size(); ++i) {
      Disc(dc, targets[i], kGrey);
    }
    const ClientPoint target = run_.current_target();
    const bool refused = run_.state() == KioskCalibrationRun::State::kRefused;
    const int mid = (client.bottom - client.top) / 2;
    if (refused) {
      Ring(dc, target, kGrey, 3);
      Cross(dc, target);
      Text(dc, client, mid + 40, "Touch refused: touch the centre of the target again", kRed);
      return;
    }
    Ring(dc, target, run_.checking() ? kPassGreen : (blink_ ? kYellow : kRed), 3);
    char line[96];
    if (run_.checking()) {
      std::snprintf(line, sizeof line, "Check: touch the green target");
    } else {
      std::snprintf(line, sizeof line, "Touch the centre of the target (%u of %u)",
                    static_cast<unsigned>(run_.current() + 1),
                    static_cast<unsigned>(targets.size()));
    }
    Text(dc, client, mid + 40, line, kWhite);
    Text(dc, client, mid + 70, "Esc cancels", kGrey);
  }

  void DrawResult(HDC dc, const RECT& client) {
    const auto& result = run_.result();
    const int mid = (client.bottom - client.top) / 2;
    if (!result || result->degenerate) {
      Text(dc, client, mid - 20, "The touches do not determine a calibration: nothing stored",
           kRed);
      return;
    }
    const char* unit = measured_ ? "mm" : "mm (15-inch diagonal assumed)";
    Text(dc, client, mid - 60,
         result->passed ? "Calibration stored"
                        : "Check failed: nothing stored, the previous "
                          "calibration stays",
         result->passed ? kPassGreen : kRed);
    Text(dc, client, mid - 20,
         Format("Check error %.1f px = %.2f ", result->check.px, result->check.mm) + unit +
             Format(" (limit %.2f mm)", options_.max_error_mm, 0),
         kWhite);
    Text(dc, client, mid + 10,
         Format("Fit error %.1f px = %.2f ", result->fit.px, result->fit.mm) + unit, kWhite);
  }

  KioskCalibrationRun& run_;
  KioskOptions options_;
  bool measured_;
  HWND window_ = nullptr;
  bool blink_ = false;
  int contacts_ = 1;
  ScopedKernelHandle section_;
  ScopedMappedView points_;
};

}  // namespace

bool WantsKioskCalibration(const char* command_line) {
  return command_line != nullptr && IsKioskCommandLine(command_line);
}

int RunKioskCalibration(HINSTANCE instance, const char* command_line) {
  constexpr int kNotAvailable = static_cast<int>(KioskExit::kNotAvailable);
  const auto arguments = ParseKioskArguments(command_line);
  if (!arguments) return kNotAvailable;
  RegistrySettingsStore store;
  const std::int32_t monitor_index = arguments->monitor.value_or(CalibrationMonitor(store));
  const std::vector<Monitor> monitors = EnumerateMonitors();
  if (monitors.empty() || static_cast<std::size_t>(monitor_index) >= monitors.size()) {
    return kNotAvailable;
  }
  const Monitor& monitor = monitors[monitor_index];
  const MillimetreScale scale = ScaleOf(monitor);

  ServiceEvents events;
  events.Open();
  // What is in force stays in force unless the run succeeds.
  const SavedMonitorValues saved = SaveMonitorValues(store, monitor_index);
  if (!WriteIdentity(store, monitor_index)) {
    (void)RestoreMonitorValues(store, saved);
    return kNotAvailable;
  }
  SignalIdentityBeforeRecording(events.Pointers());

  const KioskScreen screen{monitor.rect.right - monitor.rect.left,
                           monitor.rect.bottom - monitor.rect.top, scale};
  KioskCalibrationRun run(arguments->options, screen, NowMs());
  KioskWindow window(run, arguments->options, scale.measured);
  int code = kNotAvailable;
  if (window.Create(instance, monitor.rect)) {
    window.Loop();
    code = static_cast<int>(run.exit_code());
  }
  bool stored = false;
  if (code == static_cast<int>(KioskExit::kCalibrated)) {
    stored = WriteKioskCalibration(store, monitor_index, *run.result(), NowUtc());
    if (!stored) code = kNotAvailable;
  }
  if (!stored) (void)RestoreMonitorValues(store, saved);
  SignalServices(events.Pointers(), ServiceRole::kSetupChange);
  return code;
}

}  // namespace zorvik::panel
