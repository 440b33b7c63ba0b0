// CRegionControlSetting, the "Option/Tools" page: coordinate correction, automatic calibration and
// the tools. Its tab and template are in place; its controls and settings come with the page's own
// work.
#pragma once

#include "panel/panel_resources.h"
#include "panel/win32/property_page_win32.h"

namespace zorvik::panel {

class CRegionControlSetting final : public PropertyPage {
 public:
  CRegionControlSetting() : PropertyPage(IDD_REGION_CONTROL_SETTING) {}
};

}  // namespace zorvik::panel
