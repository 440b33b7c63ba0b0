// Serlink: the serial touch service, a windowless background program.
#include <windows.h>

#include "common/kernel_object_names.h"
#include "common/win32/service_lifecycle_win32.h"
#include "serialsvc/win32/serial_service_app_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return zorvik::RunAsOnlyInstance(zorvik::names::kSerialServiceMutex, [] {
    zorvik::SerialServiceApp app;
    app.Run();
    return 0;
  });
}
