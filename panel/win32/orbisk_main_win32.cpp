// Orbisk: the control panel. One instance per logon session; its whole life is one modal
// property sheet whose pages write the settings and signal the two touch services.
#include <windows.h>

#include <commctrl.h>

#include "common/kernel_object_names.h"
#include "common/registry_settings_store_win32.h"
#include "panel/win32/display_setting_win32.h"
#include "panel/win32/general_setting_win32.h"
#include "panel/win32/info_setting_win32.h"
#include "panel/win32/kiosk_calibration_win32.h"
#include "panel/win32/multi_point_ctrl_win32.h"
#include "panel/win32/popup_ctrl_win32.h"
#include "panel/win32/region_control_setting_win32.h"
#include "panel/win32/setup_setting_win32.h"
#include "panel/win32/tree_prop_sheet_win32.h"

namespace {

using namespace zorvik;
using namespace zorvik::panel;

constexpr char kSheetCaption[] = "Orbisk Touch Controller System";

// The exit code: 0 once the sheet has been shown and closed by any button, 1 when it could not
// be shown, 0 for a second instance that ends at once.
int RunPanel(HINSTANCE instance) {
  ServiceEvents events;
  events.Open();

  RegistrySettingsStore store;
  CGeneralSetting general(store);
  CSetupSetting setup(store);
  CRegionControlSetting region(store);
  CDisplaySetting display(store);
  CMultiPointCtrl multi_point(store);
  CPopupCtrl popup(store);
  CInfoSetting info;
  for (PropertyPage* page : std::initializer_list<PropertyPage*>{&general, &setup, &region,
                                                                 &display, &multi_point, &popup}) {
    page->SetEventPointers(events.Pointers());
  }

  CTreePropSheet sheet(kSheetCaption, 0);
  for (PropertyPage* page : std::initializer_list<PropertyPage*>{
           &general, &setup, &region, &display, &multi_point, &popup, &info}) {
    sheet.AddPage(*page);
  }
  sheet.SetActivePage(0);
  const INT_PTR result = sheet.DoModal(instance);
  events.Close();
  return result < 0 ? 1 : 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  // "/calibrate": the kiosk calibration, under the same single-instance rule; a second instance
  // tells its script so (4) instead of ending silently.
  const bool kiosk = WantsKioskCalibration(command_line);
  CreateMutexA(nullptr, FALSE, names::kControlPanelMutex);  // held until the process ends
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) return kiosk ? 4 : 0;
  if (kiosk) return RunKioskCalibration(instance, command_line);
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS |
                                                     ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES |
                                                     ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  return RunPanel(instance);
}
