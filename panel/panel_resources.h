// Resource and control numbers of Orbisk, shared by the resource script, the pages and the
// portable page models. Plain #defines, so the resource compiler reads them too.
#pragma once

// Icons and pictures.
#define IDI_ORBISK 128
#define IDI_OPEN_FOLDER 177
#define IDI_CLOSED_FOLDER 178
#define IDB_LOGO 180
#define IDI_USB_DEVICE 181
#define IDI_SERIAL_DEVICE 182
#define IDB_DEVICE_STRIP 183

// Page templates, in tab order.
#define IDD_GENERAL_SETTING 134
#define IDD_SETUP_SETTING 135
#define IDD_REGION_CONTROL_SETTING 136
#define IDD_DISPLAY_SETTING 137
#define IDD_MULTIPOINT_CTRL 187
#define IDD_POPUP_CTRL 188
#define IDD_INFO_SETTING 138

// Touch Device page.
#define IDC_DEVICE_LIST 1000
#define IDC_SCAN 1018
#define IDC_SCAN_PROGRESS 1055

// Setup page.
#define IDC_NO_SOUND 1009
#define IDC_TOUCH_DOWN 1010
#define IDC_LIFT_UP 1011
#define IDC_DOUBLE_CLICK_SPEED 1012
#define IDC_DOUBLE_CLICK_AREA 1014
#define IDC_DRAWING_MODE 1015
#define IDC_TOUCH_ONLY_MODE 1016
#define IDC_ROTATE_0 1022
#define IDC_ROTATE_90 1023
#define IDC_ROTATE_180 1024
#define IDC_TONE 1025
#define IDC_TONE_LENGTH 1026
#define IDC_ROTATE_270 1043
#define IDC_ROTATE_360 1044
#define IDC_DOUBLE_CLICK_TEST 1052

// Information page.
#define IDC_WEB_LINK 1027
#define IDC_NOTICE 1038
