// CPopupCtrl, the "Popup Control" page: the popup gesture's edges and times and the popup tool. Its
// tab and template are in place; its controls and settings come with the page's own work.
#pragma once

#include "panel/panel_resources.h"
#include "panel/win32/property_page_win32.h"

namespace zorvik::panel {

class CPopupCtrl final : public PropertyPage {
 public:
  CPopupCtrl() : PropertyPage(IDD_POPUP_CTRL) {}
};

}  // namespace zorvik::panel
