// CMultiPointCtrl, the "Multipoint Touch" page: the multi-touch limits, pressure and velocity. Its
// tab and template are in place; its controls and settings come with the page's own work.
#pragma once

#include "panel/panel_resources.h"
#include "panel/win32/property_page_win32.h"

namespace zorvik::panel {

class CMultiPointCtrl final : public PropertyPage {
 public:
  CMultiPointCtrl() : PropertyPage(IDD_MULTIPOINT_CTRL) {}
};

}  // namespace zorvik::panel
