// What both touch services do the same way around their devices: the background thread with
// its stop event and pauses, the registry device list, the virtual mouse reopen and the
// settings load that reaches every served device.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "common/device_lists.h"
#include "common/service_settings.h"
#include "common/settings_loader.h"
#include "common/settings_store.h"
#include "common/win32/capture_session_win32.h"
#include "common/win32/control_events_win32.h"
#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"

namespace zorvik {

// A service's entry: 0 at once when another instance holds the single-instance mutex `name` (or
// may not open it); otherwise the code `run` returns. The mutex is held until `run` has
// returned, with the service object it made gone.
int RunAsOnlyInstance(const char* mutex_name, const std::function<int()>& run);

// Usblink's watcher and Serlink's worker: a thread, its running flag (set until a stop is
// requested) and a manual-reset stop event that ends every pause at once.
class ServiceWorker {
 public:
  ServiceWorker();
  ServiceWorker(const ServiceWorker&) = delete;
  ServiceWorker& operator=(const ServiceWorker&) = delete;

  // Runs `body` on a new thread at `priority`; false when no thread could be created.
  bool Start(std::function<void()> body, int priority = THREAD_PRIORITY_NORMAL);
  // Clears the running flag and sets the stop event.
  void RequestStop();
  // Waits for the thread to end; while it runs, `meanwhile` is called with its id every
  // `poll_ms` (for a box it shows that nobody will answer now).
  void Join(DWORD poll_ms = INFINITE, const std::function<void(DWORD)>& meanwhile = {});

  bool running() const { return running_; }
  const std::atomic<bool>& running_flag() const { return running_; }
  // True once the stop event is set (a stop was requested or an exit event seen by a pause).
  bool Stopping() const;
  // Waits `ms`; false at once when the service is stopping. The service's auto-reset exit
  // event, when given, ends the pause too: it sets the stop event and is set again, so that
  // the main loop still sees it. Without a stop event the pause just sleeps.
  bool Pause(DWORD ms, HANDLE exit_event = nullptr);

 private:
  static DWORD WINAPI ThreadMain(void* self);

  std::function<void()> body_;
  ScopedKernelHandle thread_;
  DWORD thread_id_ = 0;
  ScopedKernelHandle stop_;
  std::atomic<bool> running_{true};
};

// On NT-family systems closes the virtual mouse device if open and opens it again with
// `share_mode` (each service shares it its own way); true when it is open then. Elsewhere the
// pointer goes through mouse_event: true, nothing opened.
bool ReopenVirtualMouse(ScopedFileHandle& mouse, const SystemVersion& version, DWORD share_mode);

// Loads each served device's own settings on top of the service's `loaded` ones, in list
// order (reopening its click acknowledgement when the loader asks), then begins the captures a
// diagnostics request asks for. A device offers identity() (the text the display lookup
// matches), number() (of its capture), pipeline() (settings() / ApplySettings()) and
// ReopenClickAck().
template <typename Device>
void ApplyDeviceSettings(const SettingsLoader& loader, const ServiceSettings& loaded,
                         std::span<const std::unique_ptr<Device>> devices,
                         CaptureSession& captures) {
  std::vector<int> served;
  for (const auto& device : devices) {
    auto& pipeline = device->pipeline();
    DeviceSettings settings = pipeline.settings();
    loader.LoadDevice(loaded, device->identity(), settings, [&] { device->ReopenClickAck(); });
    pipeline.ApplySettings(settings);
    served.push_back(device->number());
  }
  captures.BeginIfAsked(served);
}

// The last common steps of both shut-downs, once the devices are closed: the control events
// that go at exit (CloseControlEventsAtExit), then the virtual mouse device.
void CloseAtExit(ControlEvents& events, ScopedFileHandle& mouse);

}  // namespace zorvik
