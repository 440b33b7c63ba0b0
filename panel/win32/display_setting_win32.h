// CDisplaySetting, the "Multi Monitor Display" page: which display each touch controller is
// attached to, the multi-monitor mode, and the active monitor, written under MonitorMaps.
#pragma once

#include <cstdint>
#include <vector>

#include "common/settings_store.h"
#include "panel/display_mapping_model.h"
#include "panel/win32/property_page_win32.h"

namespace zorvik::panel {

class CDisplaySetting final : public PropertyPage {
 public:
  explicit CDisplaySetting(SettingsStore& store);

 protected:
  BOOL OnInitDialog() override;
  void OnApply() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void InsertColumns(int list_id, std::span<const char* const> titles);
  void FillDeviceList();
  void FillMonitorList();
  void FillDropDowns();
  void ShowMode();
  void EnableRadios(bool enabled);
  void EnableDirection(bool enabled);
  void CheckMode(int control_id);
  void SelectDirection(int direction);
  void MapSelectedDevice();
  std::vector<DeviceMapping> DeviceMappings() const;

  SettingsStore& store_;
  std::int32_t support_ = 0;
  std::int32_t mode_ = 0;
};

}  // namespace zorvik::panel
