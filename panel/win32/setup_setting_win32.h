// CSetupSetting, the "Setup" page: touch sound, double-click speed and area, touch action and
// screen rotation, written to General at Apply; and a picture to try the double-click speed on.
#pragma once

#include <array>

#include "common/settings_store.h"
#include "panel/setup_page_model.h"
#include "panel/win32/drawn_slider_win32.h"
#include "panel/win32/property_page_win32.h"

namespace zorvik::panel {

class CSetupSetting final : public PropertyPage {
 public:
  explicit CSetupSetting(SettingsStore& store);

 protected:
  BOOL OnInitDialog() override;
  void OnApply() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result) override;

 private:
  int Position(const SliderRange& slider) const;
  void SetPosition(const SliderRange& slider, int position);
  void CheckOnly(std::span<const RadioChoice> group, int control_id);
  std::int32_t* MemberOf(std::span<const RadioChoice> group);
  void OnSliderScroll(int code);

  SettingsStore& store_;
  std::int32_t click_mode_ = 1;
  std::int32_t mouse_mode_ = 0;
  std::int32_t screen_rotate_ = 0;
  DoubleClickTest test_;
  std::array<CDrawnSlider, 4> sliders_;
};

}  // namespace zorvik::panel
