// The four service events the control panel signals, opened once at start-up, and the one
// signalling rule every page follows: settings are written first, then the USB service's event
// of a role is set, then the serial service's event of the same role.
#pragma once

#include <windows.h>

#include <array>

#include "common/win32/handle_win32.h"

namespace zorvik::panel {

enum class ServiceRole { kSetupChange, kRescan };

// Pointers to the start-up's handle variables (not copies), in the order USB setup-change,
// USB rescan, serial setup-change, serial rescan. A null handle is a service that was not
// running at start-up: setting it does nothing.
struct ServiceEventPointers {
  const ScopedKernelHandle* usb_setup_change = nullptr;
  const ScopedKernelHandle* usb_rescan = nullptr;
  const ScopedKernelHandle* serial_setup_change = nullptr;
  const ScopedKernelHandle* serial_rescan = nullptr;
};

// Sets one event through its pointer; silent when the pointer or the handle is null.
void SetServiceEvent(const ScopedKernelHandle* event);
// The USB event of `role`, then the serial event of the same role.
void SignalServices(const ServiceEventPointers& events, ServiceRole role);
// Both setup-change events twice, 100 ms apart, as a calibration does after writing the identity
// set and before it records touches: the services then report uncorrected positions.
void SignalIdentityBeforeRecording(const ServiceEventPointers& events);

// Owns the four handles. Each event is opened with full event access, not inheritable, first by
// the name the panel has always used and then by the name under which its service creates it:
// the services create some of these without "Global\", and outside session 0 the two names are
// different objects, so a signal by the first name alone could go nowhere.
class ServiceEvents {
 public:
  static constexpr int kCount = 4;

  ServiceEvents() = default;
  ServiceEvents(const ServiceEvents&) = delete;
  ServiceEvents& operator=(const ServiceEvents&) = delete;
  ~ServiceEvents() { Close(); }

  // Opens the four events in their order; an event that cannot be opened stays null, silently.
  void Open();
  // Closes them in the same order.
  void Close();

  ServiceEventPointers Pointers();

 private:
  std::array<ScopedKernelHandle, kCount> handles_;
};

}  // namespace zorvik::panel
