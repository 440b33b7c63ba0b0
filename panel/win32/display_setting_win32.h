// CDisplaySetting, the "Multi Monitor Display" page: how touches map onto one or two monitors. Its
// tab and template are in place; its controls and settings come with the page's own work.
#pragma once

#include "panel/panel_resources.h"
#include "panel/win32/property_page_win32.h"

namespace zorvik::panel {

class CDisplaySetting final : public PropertyPage {
 public:
  CDisplaySetting() : PropertyPage(IDD_DISPLAY_SETTING) {}
};

}  // namespace zorvik::panel
