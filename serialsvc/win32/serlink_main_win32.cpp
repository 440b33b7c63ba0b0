// Serlink: the serial touch service, a windowless background program.
#include <windows.h>

#include "common/kernel_object_names.h"
#include "serialsvc/win32/serial_service_app_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HANDLE instance = CreateMutexA(nullptr, FALSE, zorvik::names::kSerialServiceMutex);
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) return 0;
  {
    zorvik::SerialServiceApp app;
    app.Run();
  }
  if (instance != nullptr) CloseHandle(instance);
  return 0;
}
