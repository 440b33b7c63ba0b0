// The Popup Control page. The number fields, not the sliders, are what Apply writes: a typed
// value beyond a slider's end is stored as typed. Popdeck is an outside program installed beside
// the panel; the page starts it from TargetDir and never waits for it.
#include "panel/win32/popup_ctrl_win32.h"

#include <string>

#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"
#include "panel/number_field.h"

namespace zorvik::panel {
namespace {

constexpr char kLaunchError[] = "ERROR: Cannot launch child process\n";
constexpr char kProgramTitle[] = "orbisk";

}  // namespace

CPopupCtrl::CPopupCtrl(SettingsStore& store) : PropertyPage(IDD_POPUP_CTRL), store_(store) {}

void CPopupCtrl::ShowNumber(int field_id, std::int32_t value) {
  quiet_ = true;
  SetDlgItemTextA(window(), field_id, std::to_string(value).c_str());
  quiet_ = false;
}

std::int32_t CPopupCtrl::FieldNumber(int field_id) const {
  HWND field = Item(field_id);
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(field)) + 1, '\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextA(field, text.data(), static_cast<int>(text.size()))));
  return ParseNumberField(text).value_or(0);
}

BOOL CPopupCtrl::OnInitDialog() {
  for (const PopupSlider& slider : kPopupSliders) {
    HWND trackbar = Item(slider.range.control_id);
    SendMessageA(trackbar, TBM_SETRANGEMIN, FALSE, slider.range.low);
    SendMessageA(trackbar, TBM_SETRANGEMAX, TRUE, slider.range.high);
    SendMessageA(trackbar, TBM_SETPOS, TRUE, slider.initial_position);
  }
  values_ = ReadPopupValues(store_);
  SetDlgItemTextA(window(), IDC_POPUP_START_STOP, PopupCaption(values_.popup_process_state));
  for (const PopupSlider& slider : kPopupSliders) {
    ShowNumber(slider.field_id, values_.*slider.value);
    // The trackbar shows a value outside its range at the nearer end.
    SendMessageA(Item(slider.range.control_id), TBM_SETPOS, TRUE, values_.*slider.value);
  }
  for (const EdgeBox& box : kEdgeBoxes) {
    CheckDlgButton(window(), box.control_id,
                   EdgeChecked(values_.area_limit_option, box) ? BST_CHECKED : BST_UNCHECKED);
  }
  return TRUE;
}

bool CPopupCtrl::OnCommand(int id, int code, HWND) {
  if (code == EN_CHANGE) {
    if (id != IDC_ACTIVE_TIME) return id == IDC_X_AREA_PERCENT || id == IDC_Y_AREA_PERCENT;
    if (!quiet_) MarkModified();
    return true;
  }
  if (code != BN_CLICKED) return false;
  if (id == IDC_POPUP_START_STOP) {
    OnStartStop();
    return true;
  }
  for (const EdgeBox& box : kEdgeBoxes) {
    if (box.control_id == id) {
      MarkModified();
      return true;
    }
  }
  return false;
}

bool CPopupCtrl::OnMessage(UINT message, WPARAM wparam, LPARAM, INT_PTR* result) {
  if (message != WM_HSCROLL) return false;
  const int code = LOWORD(wparam);
  if (code == TB_LINEUP || code == TB_LINEDOWN || code == TB_ENDTRACK) {
    for (const PopupSlider& slider : kPopupSliders) {
      ShowNumber(slider.field_id, static_cast<std::int32_t>(SendMessageA(
                                      Item(slider.range.control_id), TBM_GETPOS, 0, 0)));
    }
  }
  MarkModified();
  *result = TRUE;
  return true;
}

void CPopupCtrl::OnApply() {
  values_.area_limit_option =
      AreaLimitOption([this](int id) { return IsDlgButtonChecked(window(), id) == BST_CHECKED; });
  for (const PopupSlider& slider : kPopupSliders) {
    values_.*slider.value = FieldNumber(slider.field_id);
  }
  WritePopupValues(store_, values_);
  Signal(ServiceRole::kSetupChange);  // the services are told even when nothing was written
}

// Neither marks the page modified nor tells the services: the state is the page's own.
void CPopupCtrl::OnStartStop() {
  switch (TogglePopupState(store_)) {
    case PopupToggle::kStart:
      SetDlgItemTextA(window(), IDC_POPUP_START_STOP, kPopupStopCaption);
      values_.popup_process_state = 1;
      StartPopdeck();
      break;
    case PopupToggle::kStop:
      SetDlgItemTextA(window(), IDC_POPUP_START_STOP, kPopupStartCaption);
      values_.popup_process_state = 0;
      StopPopdeck();
      break;
    case PopupToggle::kNone:
      break;
  }
}

void CPopupCtrl::StartPopdeck() {
  const std::optional<std::string> path = PopdeckPath(store_);
  if (!path) return;  // no installation folder recorded: nothing to start
  // The application name is taken as it is, never searched; the command line repeats it quoted
  // so that the program sees its own path whole even when the folder has blanks in it.
  std::string command_line = PopdeckCommandLine(*path);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(path->c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    MessageBoxA(GetParent(window()), kLaunchError, kProgramTitle, MB_OK);
    ExitProcess(1);  // MPPopupProcessState stays 1: the next start shows "STOP >>"
  }
  // Not waited for: the handles are closed at once.
  const ScopedKernelHandle thread(process.hThread);
  const ScopedKernelHandle child(process.hProcess);
}

void StopPopdeck() {
  const std::vector<DWORD> found =
      FindProcesses([](std::string_view name) { return IsPopdeckProcess(name); });
  if (found.empty()) return;
  const ScopedKernelHandle process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, found.front()));
  if (!process) return;
  DWORD exit_code = 0;
  GetExitCodeProcess(process.get(), &exit_code);
  // A running process reports STILL_ACTIVE; ending it with that code would make it look
  // alive to anyone who asks for its exit code afterwards.
  TerminateProcess(process.get(), exit_code == STILL_ACTIVE ? 1 : exit_code);
}

}  // namespace zorvik::panel
