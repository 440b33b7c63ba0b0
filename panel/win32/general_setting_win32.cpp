// The Touch Device page. Everything it shows comes from the device lists the services keep in
// the registry; the only thing it sends is the serial service's rescan event.
#include "panel/win32/general_setting_win32.h"

#include <array>
#include <string>

#include "panel/device_list_model.h"
#include "panel/panel_resources.h"
#include "panel/win32/list_view_win32.h"

namespace zorvik::panel {
namespace {

constexpr std::array<const char*, 4> kColumns{"Port No", "Firmware version", "Device Name",
                                              "Comm. Device"};

}  // namespace

CGeneralSetting::CGeneralSetting(SettingsStore& store)
    : PropertyPage(IDD_GENERAL_SETTING), store_(store) {}

BOOL CGeneralSetting::OnInitDialog() {
  HWND list = Item(IDC_DEVICE_LIST);
  ShowWindow(Item(IDC_SCAN_PROGRESS), SW_HIDE);
  ListView_SetIconSpacing(list, kDeviceIconSize, kDeviceIconSize);
  SetDeviceImageLists(Item(IDC_DEVICE_LIST));
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
  InsertColumns();
  FillList();
  return TRUE;
}

void CGeneralSetting::InsertColumns() {
  HWND list = Item(IDC_DEVICE_LIST);
  RECT client{};
  GetClientRect(list, &client);
  for (int i = 0; i < static_cast<int>(kColumns.size()); ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = (client.right - client.left) / 4;
    column.pszText = const_cast<char*>(kColumns[i]);
    column.iSubItem = i;
    SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
}

void CGeneralSetting::FillList() {
  HWND list = Item(IDC_DEVICE_LIST);
  ListView_DeleteAllItems(list);
  int next_row = 0;  // counts only the rows actually added
  ReadDeviceRows(store_, [&](const DeviceRow& device) {
    // A text may fill its whole buffer without a terminating zero.
    std::string port(device.port.view());
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = next_row;
    item.pszText = port.data();
    item.iImage = device.Icon();
    const int row =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) return;
    SetCell(list, row, 1, std::string(device.firmware.view()).c_str());
    SetCell(list, row, 2, std::string(device.device.view()).c_str());
    SetCell(list, row, 3, device.CommDevice());
    ++next_row;
  });
}

bool CGeneralSetting::OnCommand(int id, int code, HWND) {
  if (id != IDC_SCAN || code != BN_CLICKED) return false;
  StartScan();
  return true;
}

void CGeneralSetting::StartScan() {
  EnableWindow(Item(IDC_SCAN), FALSE);
  ListView_DeleteAllItems(Item(IDC_DEVICE_LIST));
  SetTimer(window(), ScanProgress::kTimerId, ScanProgress::kTickMilliseconds, nullptr);
  SetServiceEvent(events().serial_rescan);
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  scan_.Start();
  HWND progress = Item(IDC_SCAN_PROGRESS);
  SendMessageA(progress, PBM_SETRANGE32, 0, ScanProgress::kLastPosition);
  SendMessageA(progress, PBM_SETPOS, 0, 0);
  ShowWindow(progress, SW_SHOW);
}

void CGeneralSetting::OnScanTick() {
  switch (scan_.Tick()) {
    case ScanProgress::Step::kAdvance:
      SendMessageA(Item(IDC_SCAN_PROGRESS), PBM_SETPOS, scan_.Position(), 0);
      return;
    case ScanProgress::Step::kFinish:
      KillTimer(window(), ScanProgress::kTimerId);
      ShowWindow(Item(IDC_SCAN_PROGRESS), SW_HIDE);
      FillList();
      EnableWindow(Item(IDC_SCAN), TRUE);
      SendMessageA(window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_SCAN)), TRUE);
      SetCursor(LoadCursorA(nullptr, IDC_ARROW));
      return;
    case ScanProgress::Step::kIdle:
      return;
  }
}

bool CGeneralSetting::OnMessage(UINT message, WPARAM wparam, LPARAM, INT_PTR* result) {
  if (message == WM_TIMER && wparam == ScanProgress::kTimerId) {
    OnScanTick();
    *result = TRUE;
    return true;
  }
  if (message == WM_SETCURSOR && scan_.scanning()) {
    // The wait cursor stays over the page and its controls for the whole scan.
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    SetWindowLongPtrA(window(), DWLP_MSGRESULT, TRUE);
    *result = TRUE;
    return true;
  }
  return false;
}

}  // namespace zorvik::panel
