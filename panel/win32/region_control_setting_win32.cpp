// The Option/Tools page. Unlike the other pages it writes at every press of a correction button
// and tells the services at once; Apply and OK only tell them again. What a press reads, writes
// and signals is decided in panel/region_control_model; this file only translates messages.
#include "panel/win32/region_control_setting_win32.h"

#include <commctrl.h>

#include <string>

#include "common/registry_batch_writer.h"
#include "panel/win32/touch_screen_dlg_win32.h"

namespace zorvik::panel {
namespace {

constexpr UINT_PTR kRepeatTimer = 1;
constexpr char kErrorCaption[] = "Error";

// The page's signals: both setup-change events through the start-up's pointers, USB first.
class PageSignals final : public CorrectionSignals {
 public:
  explicit PageSignals(const ServiceEventPointers& events) : events_(events) {}
  void SetupChanged() override { SignalServices(events_, ServiceRole::kSetupChange); }
  void Pause(int milliseconds) override { Sleep(static_cast<DWORD>(milliseconds)); }

 private:
  const ServiceEventPointers& events_;
};

}  // namespace

void CRepeatButton::Attach(HWND button) {
  if (window_ != nullptr || button == nullptr || !IsWindow(button)) return;
  if (!SetWindowSubclass(button, SubclassProc, reinterpret_cast<UINT_PTR>(this),
                         reinterpret_cast<DWORD_PTR>(this))) {
    return;
  }
  window_ = button;
}

void CRepeatButton::Detach() {
  if (window_ == nullptr) return;
  KillTimer(window_, kRepeatTimer);
  RemoveWindowSubclass(window_, SubclassProc, reinterpret_cast<UINT_PTR>(this));
  window_ = nullptr;
  machine_ = RepeatButton{};
}

LRESULT CALLBACK CRepeatButton::SubclassProc(HWND window, UINT message, WPARAM wparam,
                                             LPARAM lparam, UINT_PTR, DWORD_PTR data) {
  auto* button = reinterpret_cast<CRepeatButton*>(data);
  if (message == WM_NCDESTROY) {
    button->Detach();
    return DefSubclassProc(window, message, wparam, lparam);
  }
  return button->Handle(message, wparam, lparam);
}

LRESULT CRepeatButton::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      // The button takes focus and capture and shows pushed; a quick second click is a press
      // like the first.
      const LRESULT result = DefSubclassProc(window_, WM_LBUTTONDOWN, wparam, lparam);
      Perform(machine_.Handle(RepeatButton::Event::kButtonDown));
      return result;
    }
    case WM_TIMER:
      if (wparam != kRepeatTimer) break;
      Perform(machine_.Handle(RepeatButton::Event::kTimer,
                              (SendMessageA(window_, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0));
      return 0;
    case WM_LBUTTONUP:
      if (machine_.state() != RepeatButton::State::kHeld) break;
      Perform(machine_.Handle(RepeatButton::Event::kButtonUp));
      return 0;
    case WM_CAPTURECHANGED:
      Perform(machine_.Handle(RepeatButton::Event::kCaptureLost));
      break;  // the default handling clears the pushed look
    default:
      break;
  }
  return DefSubclassProc(window_, message, wparam, lparam);
}

void CRepeatButton::Perform(const RepeatButton::Action& action) {
  HWND button = window_;
  if (action.stop_timer) KillTimer(button, kRepeatTimer);
  // Restarted before the step: a step that loses the capture (an error box) stops it again.
  if (action.start_timer_ms != 0) SetTimer(button, kRepeatTimer, action.start_timer_ms, nullptr);
  if (action.step) {
    SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  }
  if (action.release_capture && GetCapture() == button) ReleaseCapture();
}

CRegionControlSetting::CRegionControlSetting(SettingsStore& store)
    : PropertyPage(IDD_REGION_CONTROL_SETTING), store_(store) {}

BOOL CRegionControlSetting::OnInitDialog() {
  const int monitor = ActiveMonitorIndex(store_);
  for (CorrectionPairKind kind : {CorrectionPairKind::kOffset, CorrectionPairKind::kZoom}) {
    ShowPair(kind, ReadCorrectionPair(store_, kind, monitor));
  }
  CheckRadioButton(window(), IDC_MULTI_POINT, IDC_SINGLE_POINT, IDC_SINGLE_POINT);
  for (std::size_t i = 0; i < kCorrectionButtons.size(); ++i) {
    if (kCorrectionButtons[i].repeats)
      repeat_buttons_[i].Attach(Item(kCorrectionButtons[i].control_id));
  }
  return TRUE;
}

void CRegionControlSetting::OnApply() {
  // Nothing to write: every press wrote its values already.
  Signal(ServiceRole::kSetupChange);
}

bool CRegionControlSetting::OnCommand(int id, int code, HWND) {
  if (code != BN_CLICKED) return false;
  if (const CorrectionButton* button = FindCorrectionButton(id)) {
    OnCorrection(button->step);
    return true;
  }
  switch (id) {
    case IDC_AUTO_CALIBRATION:
      OnAutoCalibration();
      return true;
    case IDC_CALIBRATION:
    case IDC_TOUCH_TEST:
    case IDC_MULTITOUCH_VIEW:
      OpenTouchScreen(id);
      return true;
    case IDC_RIGHT_CLICK_TOOL:
      StartClicktog();
      return true;
    default:
      return false;
  }
}

void CRegionControlSetting::ShowPair(CorrectionPairKind kind, const CorrectionPair& pair) {
  const CorrectionPairLayout& layout = LayoutOf(kind);
  SetDlgItemTextA(window(), layout.x_field, PercentText(pair.x).c_str());
  SetDlgItemTextA(window(), layout.y_field, PercentText(pair.y).c_str());
}

void CRegionControlSetting::OnCorrection(CorrectionStep step) {
  PageSignals signals(events());
  const std::optional<StepOutcome> outcome = RunCorrectionStep(store_, signals, step);
  if (!outcome) {
    ReportWriteFailure();
    return;
  }
  ShowPair(outcome->kind, outcome->shown);
  MarkModified();
}

void CRegionControlSetting::OnAutoCalibration() {
  PageSignals signals(events());
  const AutoCalibrationOutcome outcome = RunAutoCalibration(store_, signals);
  if (outcome.offsets) ShowPair(CorrectionPairKind::kOffset, *outcome.offsets);
  if (outcome.zooms) ShowPair(CorrectionPairKind::kZoom, *outcome.zooms);
  if (outcome.offsets) MarkModified();
  if (!outcome.identity_written) ReportWriteFailure();
}

void CRegionControlSetting::OpenTouchScreen(int control_id) {
  const std::optional<TouchScreenOpening> opening = TouchScreenOpeningFor(
      control_id, IsDlgButtonChecked(window(), IDC_SINGLE_POINT) == BST_CHECKED);
  if (!opening) return;
  ServiceEventPointers given{};
  if (opening->setup_events) {
    given.usb_setup_change = events().usb_setup_change;
    given.serial_setup_change = events().serial_setup_change;
  }
  CTouchScreenDlg dialog(store_, opening->screen_mode, opening->multi_point, given);
  // Owned by the sheet, which stays disabled while the full-screen dialog runs.
  dialog.DoModal(GetParent(window()));
  if (opening->signal_after) {
    MarkModified();
    Signal(ServiceRole::kSetupChange);
  }
  if (opening->repaint_after) {
    RedrawWindow(window(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
}

void CRegionControlSetting::StartClicktog() {
  const std::optional<std::string> path = ClicktogPath(store_);
  if (!path) return;  // no installation folder recorded: nothing to start
  // Quoted: unquoted, a folder with a blank would start whatever sits at the blank
  // ("C:\Program.exe" for "C:\Program Files\..."). Not waited for; the result is not checked.
  WinExec(ClicktogCommandLine(*path).c_str(), SW_SHOW);
}

void CRegionControlSetting::ReportWriteFailure() {
  // A held step button lets go first, so that the box gets the pointer and no further step runs.
  ReleaseCapture();
  MessageBoxA(GetParent(window()), RegistryBatchError::kText, kErrorCaption, MB_OK | MB_ICONHAND);
}

}  // namespace zorvik::panel
