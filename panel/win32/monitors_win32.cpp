// Monitor enumeration.
#include "panel/win32/monitors_win32.h"

#include <windows.h>

namespace zorvik::panel {
namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
  MONITORINFOEXA info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info)) {
    reinterpret_cast<std::vector<Monitor>*>(context)->push_back(
        {info.szDevice,
         {info.rcMonitor.left, info.rcMonitor.top, info.rcMonitor.right, info.rcMonitor.bottom}});
  }
  return TRUE;
}

}  // namespace

std::vector<Monitor> EnumerateMonitors() {
  std::vector<Monitor> monitors;
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
  return monitors;
}

}  // namespace zorvik::panel
