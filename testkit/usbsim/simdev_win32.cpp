// simdev: makes simulated USB touch controllers appear to SetupAPI in a Wine prefix (test tool).
//   simdev add N          register controller N (device ROOT\ZTOUCHSIM\000N), present; prints
//                         its path
//   simdev link N 0|1     mark controller N absent (unplugged) or present
//   simdev list           print the present controller paths, as the service enumerates them
//   simdev mutex NAME MS  hold a mutex named NAME for MS ms (takes a name from a service's event)
#include <windows.h>
// setupapi.h needs windows.h first.
#include <setupapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/win32/device_info_set_win32.h"
#include "usbsvc/win32/device_enumeration_win32.h"

namespace {

using zorvik::kControllerInterface;
// Registry names compare without case: the class's registry spelling serves as it is.
const std::string kClassKey = std::string("System\\CurrentControlSet\\Control\\DeviceClasses\\") +
                              zorvik::names::kUsbInterfaceClassGuid;

int Fail(const char* what) {
  std::fprintf(stderr, "simdev: %s failed (error %lu)\n", what, GetLastError());
  return 1;
}

// Registers the device and its interface (both idempotent); the interface path, or "".
std::string Register(int number) {
  char id[64];
  std::snprintf(id, sizeof id, "ROOT\\ZTOUCHSIM\\%04d", number);
  const zorvik::ScopedDeviceInfoSet owner(
      SetupDiCreateDeviceInfoList(&kControllerInterface, nullptr));
  if (!owner) return {};
  const HDEVINFO set = owner.get();
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  if (!SetupDiCreateDeviceInfoA(set, id, &kControllerInterface, nullptr, nullptr, 0, &device) &&
      !SetupDiOpenDeviceInfoA(set, id, nullptr, 0, &device)) {
    return {};
  }
  SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr);
  SP_DEVICE_INTERFACE_DATA interface_data{};
  interface_data.cbSize = sizeof interface_data;
  std::string path;
  if (SetupDiCreateDeviceInterfaceA(set, &device, &kControllerInterface, nullptr, 0,
                                    &interface_data)) {
    char storage[1024];
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage);
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (SetupDiGetDeviceInterfaceDetailA(set, &interface_data, detail, sizeof storage, nullptr,
                                         nullptr)) {
      path = detail->DevicePath;
    }
  }
  return path;
}

// The interface's registry key is its path with '\' written as '#'.
bool SetLinked(const std::string& path, DWORD linked) {
  std::string key = std::string(kClassKey) + "\\";
  for (const char c : path)
    key += c == '\\' ? '#' : c;
  key += "\\#\\Control";
  HKEY control = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &control, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG result = RegSetValueExA(control, "Linked", 0, REG_DWORD,
                                     reinterpret_cast<const BYTE*>(&linked), sizeof linked);
  RegCloseKey(control);
  return result == ERROR_SUCCESS;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "list") == 0) {
    for (const std::string& path : zorvik::EnumerateControllers())
      std::printf("%s\n", path.c_str());
    return 0;
  }
  if (argc >= 3 && std::strcmp(argv[1], "add") == 0) {
    const std::string path = Register(std::atoi(argv[2]));
    if (path.empty()) return Fail("registering the device interface");
    if (!SetLinked(path, 1)) return Fail("setting Linked");
    std::printf("%s\n", path.c_str());
    return 0;
  }
  if (argc >= 4 && std::strcmp(argv[1], "link") == 0) {
    const std::string path = Register(std::atoi(argv[2]));
    if (path.empty()) return Fail("registering the device interface");
    if (!SetLinked(path, std::strcmp(argv[3], "0") == 0 ? 0 : 1)) return Fail("setting Linked");
    std::printf("%s\n", path.c_str());
    return 0;
  }
  if (argc >= 4 && std::strcmp(argv[1], "mutex") == 0) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, argv[2]);
    if (mutex == nullptr) return Fail("creating the mutex");
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::atoi(argv[3])));
    CloseHandle(mutex);
    return 0;
  }
  std::fprintf(stderr,
               "usage: simdev add N | simdev link N 0|1 | simdev list | simdev mutex NAME MS\n");
  return 2;
}
