// Device interface enumeration through SetupAPI.
#include "usbsvc/win32/device_enumeration_win32.h"

#include <windows.h>
// setupapi.h needs windows.h first.
#include <setupapi.h>

#include <vector>

namespace zorvik {
namespace {

// {E6EF7DCD-1795-4A08-9FBF-AA78423C26F0}, the controller interface class.
constexpr GUID kControllerInterface = {
    0xE6EF7DCD, 0x1795, 0x4A08, {0x9F, 0xBF, 0xAA, 0x78, 0x42, 0x3C, 0x26, 0xF0}};

}  // namespace

std::vector<std::string> EnumerateControllers() {
  std::vector<std::string> paths;
  HDEVINFO set = SetupDiGetClassDevsA(&kControllerInterface, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return paths;
  // Bounded: a set that keeps failing with another error must not make this spin.
  for (DWORD index = 0; index < 4096; ++index) {
    SP_DEVICE_INTERFACE_DATA interface_data{};
    interface_data.cbSize = sizeof interface_data;
    if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kControllerInterface, index, &interface_data)) {
      if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
      continue;
    }
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &interface_data, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) continue;
    std::vector<std::uint8_t> storage(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &interface_data, detail, required, nullptr,
                                          nullptr)) {
      continue;  // an interface whose detail cannot be read is skipped
    }
    if (paths.size() < kMaxControllers) paths.emplace_back(detail->DevicePath);
  }
  SetupDiDestroyDeviceInfoList(set);
  return paths;
}

}  // namespace zorvik
