// panel_signal ROLE: opens the four service events exactly as the control panel does and sets
// one of them: usb-setupchange, usb-rescan, serial-setupchange or serial-rescan. Prints which
// events were found, as JSON, and exits 1 for an unknown role.
#include <cstdio>
#include <cstring>

#include "panel/win32/service_events_win32.h"

int main(int argc, char** argv) {
  using namespace zorvik::panel;
  ServiceEvents events;
  events.Open();
  const ServiceEventPointers pointers = events.Pointers();
  const struct {
    const char* role;
    const zorvik::ScopedKernelHandle* event;
  } roles[] = {{"usb-setupchange", pointers.usb_setup_change},
               {"usb-rescan", pointers.usb_rescan},
               {"serial-setupchange", pointers.serial_setup_change},
               {"serial-rescan", pointers.serial_rescan}};
  std::printf("{");
  for (const auto& role : roles) {
    std::printf("%s\"%s\":%s", &role == roles ? "" : ",", role.role,
                *role.event ? "true" : "false");
  }
  std::printf("}\n");
  for (const auto& role : roles) {
    if (argc >= 2 && std::strcmp(argv[1], role.role) == 0) {
      SetServiceEvent(role.event);
      return 0;
    }
  }
  std::fprintf(stderr,
               "usage: panel_signal usb-setupchange|usb-rescan|serial-setupchange|serial-rescan\n");
  return 1;
}
