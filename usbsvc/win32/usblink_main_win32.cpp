// Usblink: the USB touch service, a windowless background program.
#include <windows.h>

#include "common/kernel_object_names.h"
#include "usbsvc/win32/service_app_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HANDLE instance = CreateMutexA(nullptr, FALSE, zorvik::names::kUsbServiceMutex);
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) return 0;
  int code = 0;
  {
    zorvik::ServiceApp app;
    code = app.Run();
  }
  if (instance != nullptr) CloseHandle(instance);
  return code;
}
