// The "Select monitors" dialog. Its list shows icons; the column and full-row selection are set
// too, so that a report presentation of the same list reads the same.
#include "panel/win32/select_monitors_dialog_win32.h"

#include <commctrl.h>

#include <string>

#include "panel/display_mapping_model.h"
#include "panel/panel_resources.h"

namespace zorvik::panel {
namespace {

HIMAGELIST MonitorImages(HINSTANCE instance, int size) {
  HIMAGELIST images = ImageList_Create(size, size, ILC_MASK | ILC_COLOR8, 2, 1);
  if (images == nullptr) return nullptr;
  ImageList_AddIcon(images, static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_ORBISK),
                                                          IMAGE_ICON, size, size, LR_SHARED)));
  return images;
}

}  // namespace

INT_PTR CSelectMonitorsDlg::DoModal(HWND parent) {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SELECT_MONITORS), parent,
                         DialogProc, 0);
}

void CSelectMonitorsDlg::Fill(HWND window) {
  HWND list = GetDlgItem(window, IDC_MONITOR_LIST);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  // The list view destroys both lists with itself (no LVS_SHAREIMAGELISTS).
  ListView_SetImageList(list, MonitorImages(instance, 32), LVSIL_NORMAL);
  ListView_SetImageList(list, MonitorImages(instance, 16), LVSIL_SMALL);
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  RECT client{};
  GetClientRect(list, &client);
  LVCOLUMNA column{};
  column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.cx = client.right - client.left;
  column.pszText = const_cast<char*>("Monitor Name");
  SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  for (int display = 0; display < kDisplayCount; ++display) {
    std::string text = SelectMonitorsItem(display);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = display;
    item.pszText = text.data();
    item.iImage = 0;  // one icon for both
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
}

INT_PTR CALLBACK CSelectMonitorsDlg::DialogProc(HWND window, UINT message, WPARAM wparam,
                                                LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      Fill(window);
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->idFrom == IDC_MONITOR_LIST && header->code == NM_DBLCLK) {
        const int index = reinterpret_cast<const NMITEMACTIVATE*>(lparam)->iItem;
        if (index >= 0) EndDialog(window, kSelectMonitorsResultBase + index);
        return TRUE;
      }
      return FALSE;
    }
    case WM_COMMAND:
      // Enter, Escape and the close box end the dialog as any dialog ends.
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
        EndDialog(window, LOWORD(wparam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace zorvik::panel
