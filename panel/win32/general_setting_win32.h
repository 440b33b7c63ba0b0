// CGeneralSetting, the "Touch Device" page: the controllers the services recorded, and a scan
// that asks the serial service to look for controllers again.
#pragma once

#include "common/settings_store.h"
#include "panel/scan_progress.h"
#include "panel/win32/property_page_win32.h"

namespace zorvik::panel {

class CGeneralSetting final : public PropertyPage {
 public:
  explicit CGeneralSetting(SettingsStore& store);

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam, INT_PTR* result) override;

 private:
  void InsertColumns();
  void FillList();
  void StartScan();
  void OnScanTick();

  SettingsStore& store_;
  ScanProgress scan_;
};

}  // namespace zorvik::panel
