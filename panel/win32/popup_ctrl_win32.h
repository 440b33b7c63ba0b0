// CPopupCtrl, the "Popup Control" page: the edges, depth and dwell time of the popup gesture,
// written to MPControl at Apply, and the button that starts and stops the popup program Popdeck.
#pragma once

#include <cstdint>

#include "common/settings_store.h"
#include "panel/panel_resources.h"
#include "panel/popup_page_model.h"
#include "panel/win32/property_page_win32.h"

namespace zorvik::panel {

class CPopupCtrl final : public PropertyPage {
 public:
  explicit CPopupCtrl(SettingsStore& store);

 protected:
  BOOL OnInitDialog() override;
  void OnApply() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result) override;

 private:
  void ShowNumber(int field_id, std::int32_t value);
  std::int32_t FieldNumber(int field_id) const;
  void OnStartStop();
  // Starts Popdeck from TargetDir; when it cannot be started, says so and ends the panel.
  void StartPopdeck();

  SettingsStore& store_;
  PopupValues values_;
  bool quiet_ = false;  // set while the page writes its own fields
};

// Terminates the first running process whose file name contains "Popdeck"; silent when there is
// none or it cannot be opened.
void StopPopdeck();

}  // namespace zorvik::panel
