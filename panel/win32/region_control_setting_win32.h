// CRegionControlSetting, the "Option/Tools" page: fine coordinate correction of the active
// monitor (written and signalled at every press), "Auto calibration ", the touch screen dialog in
// its three modes and the click tool Clicktog. CRepeatButton makes the step buttons auto-repeat.
#pragma once

#include <array>

#include "common/settings_store.h"
#include "panel/panel_resources.h"
#include "panel/region_control_model.h"
#include "panel/win32/property_page_win32.h"

namespace zorvik::panel {

// A push button that, while held, sends its parent further clicks: the first after 200 ms, then
// one every 20 ms while the pointer stays on it, and one more at release. The button's own click
// is not used.
class CRepeatButton {
 public:
  CRepeatButton() = default;
  ~CRepeatButton() { Detach(); }
  CRepeatButton(const CRepeatButton&) = delete;
  CRepeatButton& operator=(const CRepeatButton&) = delete;

  // Takes over a push button (on its thread). Does nothing if one is attached.
  void Attach(HWND button);
  void Detach();

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR id, DWORD_PTR data);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Perform(const RepeatButton::Action& action);

  HWND window_ = nullptr;
  RepeatButton machine_;
};

class CRegionControlSetting final : public PropertyPage {
 public:
  explicit CRegionControlSetting(SettingsStore& store);

 protected:
  BOOL OnInitDialog() override;
  void OnApply() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void ShowPair(CorrectionPairKind kind, const CorrectionPair& pair);
  void OnCorrection(CorrectionStep step);
  void OnAutoCalibration();
  void OpenTouchScreen(int control_id);
  void StartClicktog();
  // The batch writer could not create its key: the press stops there, unsignalled.
  void ReportWriteFailure();

  SettingsStore& store_;
  std::array<CRepeatButton, kCorrectionButtons.size()> repeat_buttons_;
};

}  // namespace zorvik::panel
