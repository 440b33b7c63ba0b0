// The control events of a touch service and its main loop.
#include "common/win32/control_events_win32.h"

namespace zorvik {
namespace {

constexpr DWORD kFailedWaitPauseMs = 100;

}  // namespace

bool CreateControlEvents(const SystemVersion& version, const ControlEventNames& names,
                         ControlEvents& events) {
  const bool nt = version.nt_family();
  NullDaclSecurity security;
  if (nt && !security.valid()) return false;
  for (std::size_t i = 0; i < kControlEventCount; ++i) {
    const ControlEventName& name = names[i];
    SECURITY_ATTRIBUTES* attributes = nt && name.open_to_all ? security.get() : nullptr;
    events[i].reset(CreateEventA(attributes, FALSE, FALSE, nt ? name.nt_name : name.other_name));
  }
  return true;
}

void CloseControlEventsAtExit(ControlEvents& events) {
  for (const ControlEvent event : {kBeepEvent, kSetupChangeEvent, kRescanEvent, kExitEvent})
    events[event].reset();
}

void RunControlLoop(const ControlEvents& events, const std::function<bool(ControlEvent)>& handle) {
  // Only the events that exist: one missing handle would make every wait fail, and the service
  // could no longer be told to exit.
  HANDLE waits[kControlEventCount];
  ControlEvent roles[kControlEventCount];
  DWORD count = 0;
  for (std::size_t i = 0; i < kControlEventCount; ++i) {
    if (!events[i]) continue;
    waits[count] = events[i].get();
    roles[count++] = static_cast<ControlEvent>(i);
  }
  while (true) {
    const DWORD woken =
        count == 0 ? WAIT_FAILED : WaitForMultipleObjects(count, waits, FALSE, INFINITE);
    if (woken >= WAIT_OBJECT_0 + count) {
      Sleep(kFailedWaitPauseMs);
      continue;
    }
    if (!handle(roles[woken - WAIT_OBJECT_0])) return;
  }
}

void RunControlLoop(const ControlEvents& events, const ControlActions& actions) {
  RunControlLoop(events, [&actions](ControlEvent event) {
    switch (event) {
      case kBeepEvent:
        actions.tick();
        return true;
      case kSetupChangeEvent:
      case kClickChangeEvent:
        actions.load_settings();
        return true;
      case kRescanEvent:
        actions.rescan();
        return true;
      case kExitEvent:
        actions.shut_down();
        return false;
    }
    return true;
  });
}

}  // namespace zorvik
