// Resource numbers of Clicktog, shared by the resource script and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_CLICKTOG 102
#define IDI_CLICKTOG 128
#define IDB_MOUSE_LEFT 130
#define IDB_MOUSE_RIGHT 131
#define IDC_PICTURE 1000
#define IDM_ABOUTBOX 0x0010
