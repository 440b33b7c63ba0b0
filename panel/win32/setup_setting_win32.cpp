// The Setup page. The double-click speed is the system's own setting: moving its slider with the
// keys changes it at once, for every program, and Cancel does not undo that.
#include "panel/win32/setup_setting_win32.h"

namespace zorvik::panel {

CSetupSetting::CSetupSetting(SettingsStore& store)
    : PropertyPage(IDD_SETUP_SETTING), store_(store) {}

int CSetupSetting::Position(const SliderRange& slider) const {
  return static_cast<int>(SendMessageA(Item(slider.control_id), TBM_GETPOS, 0, 0));
}

void CSetupSetting::SetPosition(const SliderRange& slider, int position) {
  SendMessageA(Item(slider.control_id), TBM_SETPOS, TRUE, position);
}

BOOL CSetupSetting::OnInitDialog() {
  for (std::size_t i = 0; i < kSetupSliders.size(); ++i) {
    const SliderRange& slider = kSetupSliders[i];
    sliders_[i].Attach(Item(slider.control_id));
    SendMessageA(Item(slider.control_id), TBM_SETRANGEMIN, FALSE, slider.low);
    SendMessageA(Item(slider.control_id), TBM_SETRANGEMAX, TRUE, slider.high);
  }
  SetPosition(kSpeedSlider, static_cast<int>(GetDoubleClickTime()));
  const SetupValues values = ReadSetupValues(store_);
  if (values.double_click_speed) {  // otherwise the slider keeps the system's time
    SetPosition(kSpeedSlider, *values.double_click_speed);
    SetDoubleClickTime(static_cast<UINT>(*values.double_click_speed));
  }
  SetPosition(kToneSlider, values.tick_freq);
  SetPosition(kLengthSlider, values.tick_length);
  SetPosition(kAreaSlider, values.click_area);
  click_mode_ = values.click_mode;
  mouse_mode_ = values.mouse_mode;
  screen_rotate_ = values.screen_rotate;
  CheckOnly(kClickModeRadios, RadioFor(kClickModeRadios, click_mode_));
  CheckOnly(kMouseModeRadios, RadioFor(kMouseModeRadios, mouse_mode_));
  CheckOnly(kRotationRadios, RadioFor(kRotationRadios, screen_rotate_));
  return TRUE;
}

// Plain radio buttons: the page checks one of a group and unchecks the others (0: none).
void CSetupSetting::CheckOnly(std::span<const RadioChoice> group, int control_id) {
  for (const RadioChoice& choice : group) {
    CheckDlgButton(window(), choice.control_id,
                   choice.control_id == control_id ? BST_CHECKED : BST_UNCHECKED);
  }
}

std::int32_t* CSetupSetting::MemberOf(std::span<const RadioChoice> group) {
  if (group.data() == kClickModeRadios.data()) return &click_mode_;
  if (group.data() == kMouseModeRadios.data()) return &mouse_mode_;
  return &screen_rotate_;
}

bool CSetupSetting::OnCommand(int id, int code, HWND) {
  if (id == IDC_DOUBLE_CLICK_TEST && code == STN_DBLCLK) {
    SendDlgItemMessageA(window(), IDC_DOUBLE_CLICK_TEST, STM_SETICON,
                        reinterpret_cast<WPARAM>(LoadIconA(
                            GetModuleHandleA(nullptr), MAKEINTRESOURCEA(test_.DoubleClicked()))),
                        0);
    return true;
  }
  const std::optional<RadioHit> radio = FindRadio(id);
  if (!radio || code != BN_CLICKED) return false;
  CheckOnly(radio->group, id);
  *MemberOf(radio->group) = radio->value;
  MarkModified();
  return true;
}

void CSetupSetting::OnSliderScroll(int code) {
  if (code == TB_LINEUP || code == TB_LINEDOWN || code == TB_ENDTRACK) {
    SetDoubleClickTime(static_cast<UINT>(Position(kSpeedSlider)));
  }
  MarkModified();
}

bool CSetupSetting::OnMessage(UINT message, WPARAM wparam, LPARAM, INT_PTR* result) {
  if (message != WM_HSCROLL) return false;
  OnSliderScroll(LOWORD(wparam));
  *result = TRUE;
  return true;
}

void CSetupSetting::OnApply() {
  WriteSetupValues(
      store_, SetupApplied{screen_rotate_, mouse_mode_, click_mode_, Position(kToneSlider),
                           Position(kLengthSlider), Position(kAreaSlider), GetDoubleClickTime()});
  Signal(ServiceRole::kSetupChange);  // the services are told even when nothing was written
}

}  // namespace zorvik::panel
