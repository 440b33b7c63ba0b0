// Device interface enumeration through SetupAPI.
#include "usbsvc/win32/device_enumeration_win32.h"

#include <vector>

#include "common/win32/device_info_set_win32.h"

namespace zorvik {
namespace {

// Bounded: a set that keeps failing with another error must not make the enumeration spin.
constexpr DWORD kMaxMemberIndex = 4096;

}  // namespace

std::vector<std::string> EnumerateControllers() {
  std::vector<std::string> paths;
  const ScopedDeviceInfoSet owner(SetupDiGetClassDevsA(&kControllerInterface, nullptr, nullptr,
                                                       DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!owner) return paths;
  const HDEVINFO set = owner.get();
  for (DWORD index = 0; index < kMaxMemberIndex; ++index) {
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
  return paths;
}

}  // namespace zorvik
