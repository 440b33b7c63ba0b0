// Opening and setting the services' events.
#include "panel/win32/service_events_win32.h"

#include "common/kernel_object_names.h"
#include "common/win32/system_win32.h"

namespace zorvik::panel {
namespace {

struct EventNames {
  const char* first;    // the name the panel opens
  const char* service;  // the name the service creates on NT-family systems
};

// In the order of ServiceEventPointers.
constexpr std::array<EventNames, ServiceEvents::kCount> kEventNames{{
    {names::kUsbSetupChangeEventGlobal, names::kUsbSetupChangeEvent},
    {names::kUsbRescanEventGlobal, names::kUsbRescanEvent},
    {names::kSerialSetupChangeEventGlobal, names::kSerialSetupChangeEvent},
    {names::kSerialRescanEventGlobal, names::kSerialRescanEvent},
}};

}  // namespace

void SetServiceEvent(const ScopedKernelHandle* event) {
  if (event != nullptr && *event) SetEvent(event->get());
}

void SignalServices(const ServiceEventPointers& events, ServiceRole role) {
  if (role == ServiceRole::kSetupChange) {
    SetServiceEvent(events.usb_setup_change);
    SetServiceEvent(events.serial_setup_change);
  } else {
    SetServiceEvent(events.usb_rescan);
    SetServiceEvent(events.serial_rescan);
  }
}

void SignalIdentityBeforeRecording(const ServiceEventPointers& events) {
  constexpr DWORD kPauseMs = 100;
  for (int pass = 0; pass < 2; ++pass) {
    SignalServices(events, ServiceRole::kSetupChange);
    Sleep(kPauseMs);
  }
}

void ServiceEvents::Open() {
  for (std::size_t i = 0; i < handles_.size(); ++i) {
    if (!handles_[i])
      handles_[i].reset(OpenEventByEitherName(kEventNames[i].first, kEventNames[i].service));
  }
}

void ServiceEvents::Close() {
  for (ScopedKernelHandle& handle : handles_)
    handle.reset();
}

ServiceEventPointers ServiceEvents::Pointers() {
  return {&handles_[0], &handles_[1], &handles_[2], &handles_[3]};
}

}  // namespace zorvik::panel
