// Names of the signals a controller sets.
#include "usbsvc/touch_ports.h"

#include "common/kernel_object_names.h"

namespace zorvik {

const char* SignalName(DeviceSignal signal) {
  switch (signal) {
    case DeviceSignal::kBeep:
      return names::kUsbBeepEvent;
    case DeviceSignal::kClickChangeAck:
      return names::kClickChangeAckEvent;
    case DeviceSignal::kPointEvent:
      return names::kPointEvent;
    case DeviceSignal::kRawCellEvent:
      return names::kRawCellEvent;
    case DeviceSignal::kPointEventAll:
      return names::kPointEventAll;
    case DeviceSignal::kRawCellEventAll:
      return names::kRawCellEventAll;
    case DeviceSignal::kPopup:
      return names::kPopupEvent;
  }
  return "";
}

}  // namespace zorvik
