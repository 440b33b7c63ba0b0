// The Information page.
#include "panel/win32/info_setting_win32.h"

#include "panel/panel_resources.h"

namespace zorvik::panel {

const char CInfoSetting::kNotice[] =
    "Welcome to the Orbisk control panel of the Zorvik infrared touch screen.\r\n"
    "\r\n"
    "Here you list the touch controllers that the USB and serial touch services have found, set "
    "the touch sound, the double-click speed and area, the touch action and the screen "
    "rotation, calibrate and test the screen, and map it onto one or two monitors. Changes take "
    "effect when you press Apply or OK.\r\n"
    "\r\n"
    "Warning: this program is protected by copyright law and international treaties. "
    "Unauthorized reproduction or distribution of this program, or any portion of it, may "
    "result in severe civil and criminal penalties.";

CInfoSetting::CInfoSetting() : PropertyPage(IDD_INFO_SETTING) {}

BOOL CInfoSetting::OnInitDialog() {
  link_.Attach(Item(IDC_WEB_LINK));
  link_.SetURL(kWebAddress);
  link_.SetToolTipText("");  // the tooltip shows the address
  link_.SizeToContent();
  SetDlgItemTextA(window(), IDC_NOTICE, kNotice);
  return TRUE;
}

}  // namespace zorvik::panel
