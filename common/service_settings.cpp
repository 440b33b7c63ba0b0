// Defaults of a new controller.
#include "common/service_settings.h"

namespace zorvik {

DeviceSettings NewDeviceSettings(ScreenSize primary, ServiceKind kind) {
  DeviceSettings device;
  device.VirtualWidth = primary.width;
  device.VirtualHeight = primary.height;
  device.monitor = {0, 0, primary.width, primary.height};
  device.mapping.XZoom = device.mapping.YZoom =
      kind == ServiceKind::kUsb ? kUsbFullZoom : kSerialFullZoom;
  return device;
}

}  // namespace zorvik
