// Usblink: the USB touch service, a windowless background program.
#include <windows.h>

#include "common/kernel_object_names.h"
#include "common/win32/service_lifecycle_win32.h"
#include "usbsvc/win32/service_app_win32.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return zorvik::RunAsOnlyInstance(zorvik::names::kUsbServiceMutex, [] {
    zorvik::ServiceApp app;
    return app.Run();
  });
}
