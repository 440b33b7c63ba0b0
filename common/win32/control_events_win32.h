// The five control events of a touch service and its main loop, the same for both services.
#pragma once

#include <windows.h>

#include <array>
#include <functional>

#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"

namespace zorvik {

// In wait order.
enum ControlEvent { kBeepEvent, kSetupChangeEvent, kRescanEvent, kExitEvent, kClickChangeEvent };
inline constexpr int kControlEventCount = 5;
using ControlEvents = std::array<ScopedKernelHandle, kControlEventCount>;

struct ControlEventName {
  const char* nt_name;     // on NT-family systems
  const char* other_name;  // elsewhere
  bool open_to_all;        // on NT-family systems: a null DACL, any process may open it
};
using ControlEventNames = std::array<ControlEventName, kControlEventCount>;

// Auto-reset, non-signalled events; false (and none created) when the NT security cannot be
// built.
bool CreateControlEvents(const SystemVersion& version, const ControlEventNames& names,
                         ControlEvents& events);

// At exit a service closes BEEP, SETUPCHANGE, RESCANDEVICE and EXITPROC; CLICKCHANGE stays
// open until the process ends.
void CloseControlEventsAtExit(ControlEvents& events);

// Waits for any of the events that were created, in wait order, and hands each to `handle`
// until it returns false. A failed wait pauses instead of spinning.
void RunControlLoop(const ControlEvents& events, const std::function<bool(ControlEvent)>& handle);

}  // namespace zorvik
