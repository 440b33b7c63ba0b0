// The five control events of each touch service: their roles in wait order and the names each
// service creates them under, one table per service for the services, the tools and the tests.
#pragma once

#include <array>
#include <cstddef>

#include "common/kernel_object_names.h"

namespace zorvik {

// In wait order.
enum ControlEvent { kBeepEvent, kSetupChangeEvent, kRescanEvent, kExitEvent, kClickChangeEvent };
inline constexpr std::size_t kControlEventCount = static_cast<std::size_t>(kClickChangeEvent) + 1;

struct ControlEventName {
  const char* role;        // as tools name it: "beep", "setupchange", ...
  const char* nt_name;     // created under this name on NT-family systems
  const char* other_name;  // created under this name elsewhere
  bool open_to_all;        // on NT-family systems: a null DACL, any process may open it
  // Another spelling that peers signal (the control panel's "Global\" names), or null; a tool
  // that looks for the event tries it after `nt_name`, instead of `other_name`.
  const char* peer_name = nullptr;

  // The names a peer tries, in order, to reach the event the service created.
  std::array<const char*, 2> lookup_order() const {
    return {nt_name, peer_name != nullptr ? peer_name : other_name};
  }
};
using ControlEventNames = std::array<ControlEventName, kControlEventCount>;

// On NT-family systems three of Usblink's events carry "Global\" names; every event but BEEP, which
// only its own threads set, carries a null DACL (the panel, Clicktog, setup and touchctl open
// them).
inline constexpr ControlEventNames kUsbControlEvents = {{
    {"beep", names::kUsbBeepEvent, names::kUsbBeepEvent, false},
    {"setupchange", names::kUsbSetupChangeEventGlobal, names::kUsbSetupChangeEvent, true},
    {"rescan", names::kUsbRescanEvent, names::kUsbRescanEvent, true, names::kUsbRescanEventGlobal},
    {"exit", names::kUsbExitEventGlobal, names::kUsbExitEvent, true},
    {"clickchange", names::kUsbClickChangeEventGlobal, names::kUsbClickChangeEvent, true},
}};

// Serlink uses the same names everywhere; on NT-family systems all but BEEP carry a null DACL.
inline constexpr ControlEventNames kSerialControlEvents = {{
    {"beep", names::kSerialBeepEvent, names::kSerialBeepEvent, false},
    {"setupchange", names::kSerialSetupChangeEvent, names::kSerialSetupChangeEvent, true,
     names::kSerialSetupChangeEventGlobal},
    {"rescan", names::kSerialRescanEvent, names::kSerialRescanEvent, true,
     names::kSerialRescanEventGlobal},
    {"exit", names::kSerialExitEvent, names::kSerialExitEvent, true},
    {"clickchange", names::kSerialClickChangeEvent, names::kSerialClickChangeEvent, true},
}};

}  // namespace zorvik
