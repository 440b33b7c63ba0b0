// The Multi Monitor Display page. The device-to-display choices live in the device list's second
// column until Apply; only the active monitor is written at once.
#include "panel/win32/display_setting_win32.h"

#include <array>
#include <string>

#include "panel/panel_resources.h"
#include "panel/win32/list_view_win32.h"
#include "panel/win32/monitors_win32.h"
#include "panel/win32/select_monitors_dialog_win32.h"

namespace zorvik::panel {
namespace {

constexpr std::array<const char*, 4> kDeviceColumns{"Port No", "Attached Monitor", "Device Name",
                                                    "Comm. Device"};
constexpr std::array<const char*, 2> kMonitorColumns{"Monitor Name", "Working Area"};
constexpr char kMessageCaption[] = "Orbisk Touch Controller System";
constexpr char kDialogFailed[] = "Dialog box could not be created!";

std::string Cell(HWND list, int row, int column) {
  char text[kTextCapacity + 1] = {};
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

int Selection(HWND combo) {
  return static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
}

}  // namespace

CDisplaySetting::CDisplaySetting(SettingsStore& store)
    : PropertyPage(IDD_DISPLAY_SETTING), store_(store) {}

BOOL CDisplaySetting::OnInitDialog() {
  SetDeviceImageLists(Item(IDC_MAPPING_LIST));
  ListView_SetExtendedListViewStyle(Item(IDC_MAPPING_LIST), LVS_EX_FULLROWSELECT);
  InsertColumns(IDC_MAPPING_LIST, kDeviceColumns);
  FillDeviceList();
  InsertColumns(IDC_MONITOR_LIST, kMonitorColumns);
  FillMonitorList();
  FillDropDowns();
  const MultiMonValues values = ReadMultiMonValues(store_);
  support_ = values.support;
  mode_ = values.mode;
  ShowMode();
  return TRUE;
}

// Columns of equal width sharing the list's client width.
void CDisplaySetting::InsertColumns(int list_id, std::span<const char* const> titles) {
  HWND list = Item(list_id);
  RECT client{};
  GetClientRect(list, &client);
  const int count = static_cast<int>(titles.size());
  for (int i = 0; i < count; ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = (client.right - client.left) / count;
    column.pszText = const_cast<char*>(titles[static_cast<std::size_t>(i)]);
    column.iSubItem = i;
    SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
}

void CDisplaySetting::FillDeviceList() {
  HWND list = Item(IDC_MAPPING_LIST);
  int next_row = 0;
  for (const MappedDeviceRow& row : ReadMappedDeviceRows(store_)) {
    // A text may fill its whole buffer without a terminating zero.
    std::string port(row.device.port.view());
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = next_row;
    item.pszText = port.data();
    item.iImage = row.device.Icon();
    const int index =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) continue;
    SetCell(list, index, 1, row.display.c_str());
    SetCell(list, index, 2, std::string(row.device.device.view()).c_str());
    SetCell(list, index, 3, row.device.CommDevice());
    ++next_row;
  }
}

void CDisplaySetting::FillMonitorList() {
  HWND list = Item(IDC_MONITOR_LIST);
  int next_row = 0;
  for (Monitor& monitor : EnumerateMonitors()) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = next_row;
    item.pszText = monitor.name.data();
    const int index =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) continue;
    SetCell(list, index, 1, WorkingAreaText(monitor.rect).c_str());
    ++next_row;
  }
}

void CDisplaySetting::FillDropDowns() {
  HWND active = Item(IDC_ACTIVE_MONITOR);
  for (int display = 0; display < kDisplayCount; ++display) {
    SendMessageA(active, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(ActiveMonitorItem(display).c_str()));
  }
  // A stored index without an item leaves the drop-down empty and the value as it is.
  SendMessageA(active, CB_SETCURSEL, ActiveMonitorSelection(LookUpActiveMonitor(store_)), 0);
  HWND direction = Item(IDC_STRETCH_DIRECTION);
  for (const char* text : kStretchDirections) {
    SendMessageA(direction, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
}

void CDisplaySetting::ShowMode() {
  const ModeView view = ModeViewFor(support_, mode_);
  CheckDlgButton(window(), IDC_MULTI_MON_SUPPORT, support_ != 0 ? BST_CHECKED : BST_UNCHECKED);
  EnableRadios(view.radios_enabled);
  EnableDirection(view.direction_enabled);
  if (view.checked_radio != 0) CheckMode(view.checked_radio);
  if (view.direction != kNoSelection) SelectDirection(view.direction);
}

void CDisplaySetting::EnableRadios(bool enabled) {
  for (const RadioChoice& radio : kModeRadios)
    EnableWindow(Item(radio.control_id), enabled);
}

void CDisplaySetting::EnableDirection(bool enabled) {
  EnableWindow(Item(IDC_STRETCH_DIRECTION), enabled);
}

void CDisplaySetting::CheckMode(int control_id) {
  for (const RadioChoice& radio : kModeRadios) {
    CheckDlgButton(window(), radio.control_id,
                   radio.control_id == control_id ? BST_CHECKED : BST_UNCHECKED);
  }
}

void CDisplaySetting::SelectDirection(int direction) {
  SendMessageA(Item(IDC_STRETCH_DIRECTION), CB_SETCURSEL, direction, 0);
}

bool CDisplaySetting::OnCommand(int id, int code, HWND) {
  if (code == BN_CLICKED) {
    switch (id) {
      case IDC_MULTI_MON_SUPPORT:
        support_ = IsDlgButtonChecked(window(), IDC_MULTI_MON_SUPPORT) == BST_CHECKED ? 1 : 0;
        EnableRadios(support_ != 0);
        MarkModified();
        return true;
      case IDC_CLONE_MODE:
      case IDC_INDEPENDENT_MODE:
        mode_ = id == IDC_CLONE_MODE ? kCloneMode : kIndependentMode;
        CheckMode(id);
        EnableDirection(false);
        MarkModified();
        return true;
      case IDC_STRETCH_MODE:
        mode_ = kStretchHorizontalMode;
        CheckMode(id);
        EnableDirection(true);
        SelectDirection(kHorizontial);
        MarkModified();
        return true;
      case IDC_MAPPING:
        MapSelectedDevice();
        return true;
      default:
        return false;
    }
  }
  if (code == CBN_SELCHANGE && id == IDC_ACTIVE_MONITOR) {
    WriteActiveMonitor(store_, Selection(Item(IDC_ACTIVE_MONITOR)));
    MarkModified();
    return true;
  }
  if (code == CBN_SELCHANGE && id == IDC_STRETCH_DIRECTION) {
    MarkModified();  // the direction counts at apply
    return true;
  }
  return false;
}

void CDisplaySetting::MapSelectedDevice() {
  HWND list = Item(IDC_MAPPING_LIST);
  const int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
  if (row < 0) return;
  const MappingChoice choice = MappingChoiceFor(CSelectMonitorsDlg::DoModal(window()));
  switch (choice.kind) {
    case MappingChoice::Kind::kDisplay:
      SetCell(list, row, 1, DisplayName(choice.display).c_str());
      break;
    case MappingChoice::Kind::kDialogFailed:
      MessageBoxA(window(), kDialogFailed, kMessageCaption, MB_OK | MB_ICONEXCLAMATION);
      break;
    case MappingChoice::Kind::kUnchanged:
      break;
  }
  MarkModified();
}

std::vector<DeviceMapping> CDisplaySetting::DeviceMappings() const {
  HWND list = Item(IDC_MAPPING_LIST);
  std::vector<DeviceMapping> devices;
  const int rows = ListView_GetItemCount(list);
  for (int row = 0; row < rows; ++row)
    devices.push_back({Cell(list, row, 0), Cell(list, row, 1)});
  return devices;
}

void CDisplaySetting::OnApply() {
  // The monitors and screen sizes as they are now, not as they were when the page was shown.
  const std::vector<Monitor> monitors = EnumerateMonitors();
  const std::vector<DeviceMapping> devices = DeviceMappings();
  DisplayPageState state;
  state.support = support_;
  state.mode = mode_;
  state.direction = Selection(Item(IDC_STRETCH_DIRECTION));
  state.virtual_screen = {GetSystemMetrics(SM_CXVIRTUALSCREEN),
                          GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  state.primary = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  state.monitors = monitors;
  state.devices = devices;
  const DisplayApplied applied = ApplyDisplayPage(store_, state);
  mode_ = applied.mode;
  if (applied.signal_services) Signal(ServiceRole::kSetupChange);
}

}  // namespace zorvik::panel
