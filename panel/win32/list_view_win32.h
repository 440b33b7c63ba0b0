// What the panel's device lists share: the image list of the two device kinds and the setting of
// one cell's text.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace zorvik::panel {

inline constexpr int kDeviceIconSize = 32;

// Gives the list view its normal and small image lists, the USB device icon at index 0 and the
// serial one at index 1; it destroys them with itself (no LVS_SHAREIMAGELISTS).
void SetDeviceImageLists(HWND list);
void SetCell(HWND list, int row, int column, const char* text);

}  // namespace zorvik::panel
