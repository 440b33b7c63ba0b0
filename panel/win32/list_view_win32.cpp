// The panel's device list helpers.
#include "panel/win32/list_view_win32.h"

#include <initializer_list>

#include "panel/panel_resources.h"

namespace zorvik::panel {
namespace {

// Null when the list cannot be created.
HIMAGELIST DeviceImages(HINSTANCE instance) {
  HIMAGELIST images =
      ImageList_Create(kDeviceIconSize, kDeviceIconSize, ILC_MASK | ILC_COLOR8, 8, 1);
  if (images == nullptr) return nullptr;
  for (const int icon : {IDI_USB_DEVICE, IDI_SERIAL_DEVICE}) {  // indexes 0 and 1
    ImageList_AddIcon(images, LoadIconA(instance, MAKEINTRESOURCEA(icon)));
  }
  return images;
}

}  // namespace

void SetDeviceImageLists(HWND list) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  ListView_SetImageList(list, DeviceImages(instance), LVSIL_NORMAL);
  ListView_SetImageList(list, DeviceImages(instance), LVSIL_SMALL);
}

void SetCell(HWND list, int row, int column, const char* text) {
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text);
  SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace zorvik::panel
