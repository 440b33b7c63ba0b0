// The five control events of a touch service and its main loop, the same for both services.
#pragma once

#include <windows.h>

#include <array>
#include <functional>

#include "common/control_event_names.h"
#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"

namespace zorvik {

using ControlEvents = std::array<ScopedKernelHandle, kControlEventCount>;

// Auto-reset, non-signalled events. False (and none created) only when the NT security cannot
// be built: an event that cannot be created is left empty and the call still returns true, as
// the service runs on with the events it has (RunControlLoop waits for those).
bool CreateControlEvents(const SystemVersion& version, const ControlEventNames& names,
                         ControlEvents& events);

// At exit a service closes BEEP, SETUPCHANGE, RESCANDEVICE and EXITPROC; CLICKCHANGE stays
// open until the process ends.
void CloseControlEventsAtExit(ControlEvents& events);

// Waits for any of the events that were created, in wait order, and hands each to `handle`
// until it returns false. A failed wait pauses instead of spinning.
void RunControlLoop(const ControlEvents& events, const std::function<bool(ControlEvent)>& handle);

// What a service does for each control event: SETUPCHANGE and CLICKCHANGE both load the
// settings; EXITPROC shuts the service down and ends the loop.
struct ControlActions {
  std::function<void()> tick;
  std::function<void()> load_settings;
  std::function<void()> rescan;
  std::function<void()> shut_down;
};
void RunControlLoop(const ControlEvents& events, const ControlActions& actions);

}  // namespace zorvik
