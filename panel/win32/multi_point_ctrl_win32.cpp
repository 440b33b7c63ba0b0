// The Multipoint Touch page. The range sliders hold what Apply writes; the four fields beside
// them are a way of typing a range end, checked on every keystroke.
#include "panel/win32/multi_point_ctrl_win32.h"

#include <string>

#include "panel/number_field.h"

namespace zorvik::panel {
namespace {

constexpr char kInvalidFormat[] = "Invalid format!";
constexpr char kErrorCaption[] = "Error";

}  // namespace

CMultiPointCtrl::CMultiPointCtrl(SettingsStore& store)
    : PropertyPage(IDD_MULTIPOINT_CTRL), store_(store) {}

CRangeSlider& CMultiPointCtrl::SliderOf(int slider_id) {
  return sliders_[slider_id == IDC_X_RANGE_SLIDER ? 0 : 1];
}

void CMultiPointCtrl::ShowNumber(int field_id, std::int32_t value) {
  quiet_ = true;
  SetDlgItemTextA(window(), field_id, std::to_string(value).c_str());
  quiet_ = false;
}

std::optional<std::int32_t> CMultiPointCtrl::FieldNumber(int field_id) const {
  HWND field = Item(field_id);
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(field)) + 1, '\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextA(field, text.data(), static_cast<int>(text.size()))));
  return ParseNumberField(text);
}

BOOL CMultiPointCtrl::OnInitDialog() {
  quiet_ = true;  // the page's own set-up is no change of the user's
  for (int slider_id : {IDC_X_RANGE_SLIDER, IDC_Y_RANGE_SLIDER}) {
    CRangeSlider& slider = SliderOf(slider_id);
    slider.Attach(Item(slider_id));
    slider.SetMinMax(kLimitSliderMin, kLimitSliderMax);
    slider.SetRange(kLimitSliderMin, kLimitSliderMax);
  }
  values_ = ReadMultiPointValues(store_);
  SliderOf(IDC_X_RANGE_SLIDER).SetRange(values_.x_limit_start, values_.x_limit_end);
  SliderOf(IDC_Y_RANGE_SLIDER).SetRange(values_.y_limit_start, values_.y_limit_end);
  // The fields show the stored numbers, even where the slider had to hold them in its bounds.
  ShowNumber(IDC_X_LIMIT_START, values_.x_limit_start);
  ShowNumber(IDC_X_LIMIT_END, values_.x_limit_end);
  ShowNumber(IDC_Y_LIMIT_START, values_.y_limit_start);
  ShowNumber(IDC_Y_LIMIT_END, values_.y_limit_end);
  ShowNumber(IDC_TOUCH_PRESSURE, values_.touch_pressure);
  ShowNumber(IDC_TOUCH_VELOCITY, values_.touch_velocity);
  CheckRadioButton(window(), IDC_ALLOW_XY_RANGE, IDC_LIMIT_XY_RANGE,
                   values_.allow_state != 0 ? IDC_ALLOW_XY_RANGE : IDC_LIMIT_XY_RANGE);
  for (const OptionBox& box : kOptionBoxes) {
    CheckDlgButton(window(), box.control_id, values_.*box.value != 0 ? BST_CHECKED : BST_UNCHECKED);
  }
  quiet_ = false;
  return TRUE;
}

void CMultiPointCtrl::OnRangeChanged() {
  double left = 0.0;
  double right = 0.0;
  SliderOf(IDC_X_RANGE_SLIDER).GetRange(left, right);
  ShowNumber(IDC_X_LIMIT_START, LimitValue(left));
  ShowNumber(IDC_X_LIMIT_END, LimitValue(right));
  SliderOf(IDC_Y_RANGE_SLIDER).GetRange(left, right);
  ShowNumber(IDC_Y_LIMIT_START, LimitValue(left));
  ShowNumber(IDC_Y_LIMIT_END, LimitValue(right));
  MarkModified();
}

void CMultiPointCtrl::OnRangeFieldChanged(const RangeField& field) {
  const std::optional<std::int32_t> typed = FieldNumber(field.control_id);
  if (!typed) {
    MessageBoxA(window(), kInvalidFormat, kErrorCaption, MB_OK | MB_ICONSTOP);
    return;
  }
  CRangeSlider& slider = SliderOf(field.slider_id);
  double left = 0.0;
  double right = 0.0;
  slider.GetRange(left, right);
  const RangeEdit edit = EditRange(field.end, *typed, left, right);
  if (edit.rewrite) ShowNumber(field.control_id, *edit.rewrite);
  slider.SetRange(edit.left, edit.right);
}

bool CMultiPointCtrl::OnCommand(int id, int code, HWND) {
  if (code == EN_CHANGE) {
    if (quiet_) return true;
    if (const RangeField* field = FindRangeField(id)) {
      OnRangeFieldChanged(*field);
      return true;
    }
    if (id == IDC_TOUCH_PRESSURE || id == IDC_TOUCH_VELOCITY) {
      MarkModified();
      return true;
    }
    return false;
  }
  if (code != BN_CLICKED) return false;
  switch (id) {
    case IDC_ENABLE_MOUSE_ACTION:
    case IDC_FIRST_TOUCH_ONLY:
    case IDC_ENABLE_MP_LIMIT:
    case IDC_ENABLE_TOUCH_CORRECT:
    case IDC_ALLOW_XY_RANGE:
    case IDC_LIMIT_XY_RANGE:
      MarkModified();
      return true;
    default:
      return false;
  }
}

bool CMultiPointCtrl::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR* result) {
  if (message != CRangeSlider::RangeChangedMessage()) return false;
  if (!quiet_) OnRangeChanged();
  *result = TRUE;
  return true;
}

void CMultiPointCtrl::OnApply() {
  double left = 0.0;
  double right = 0.0;
  SliderOf(IDC_X_RANGE_SLIDER).GetRange(left, right);
  values_.x_limit_start = LimitValue(left);
  values_.x_limit_end = LimitValue(right);
  SliderOf(IDC_Y_RANGE_SLIDER).GetRange(left, right);
  values_.y_limit_start = LimitValue(left);
  values_.y_limit_end = LimitValue(right);
  values_.allow_state = IsDlgButtonChecked(window(), IDC_ALLOW_XY_RANGE) == BST_CHECKED ? 1 : 0;
  for (const OptionBox& box : kOptionBoxes) {
    values_.*box.value = IsDlgButtonChecked(window(), box.control_id) == BST_CHECKED ? 1 : 0;
  }
  values_.touch_pressure = FieldNumber(IDC_TOUCH_PRESSURE).value_or(0);
  values_.touch_velocity = FieldNumber(IDC_TOUCH_VELOCITY).value_or(0);
  WriteMultiPointValues(store_, values_);
  Signal(ServiceRole::kSetupChange);  // the services are told even when nothing was written
}

}  // namespace zorvik::panel
