// Usblink's process object: control events and main loop, tick sound, device discovery and
// restarts (watcher thread, rescan), the shared sections and settings loads.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "common/registry_settings_store_win32.h"
#include "common/service_settings.h"
#include "common/win32/capture_session_win32.h"
#include "common/win32/control_events_win32.h"
#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"
#include "usbsvc/win32/usb_controller_win32.h"

namespace zorvik {

class ServiceApp {
 public:
  ServiceApp();
  ~ServiceApp();
  ServiceApp(const ServiceApp&) = delete;
  ServiceApp& operator=(const ServiceApp&) = delete;

  // Runs until the exit event; returns the process exit code.
  int Run();

 private:
  bool OpenBeepDevice();
  void Tick();
  void LoadSettings();
  enum class RestartReason { kRescan, kCountChanged };
  // False when it was not needed any more or cut short by an exit request.
  bool Restart(RestartReason reason);
  void Rescan();
  void ShutDown();
  // Waits `ms`; false at once when the service is to exit. An exit event seen here (the main
  // thread may be inside a rescan) is passed on to the main loop.
  bool Pause(DWORD ms);
  bool Exiting() const;

  // Restarts, from the watcher or the rescan event, never overlap: each holds restart_lock_.
  void StartDevices();
  void StopDevices();
  static DWORD WINAPI WatcherThread(void* self);
  void Watch();
  void CleanDeviceList();
  void OpenSections();

  SystemVersion version_;
  RegistrySettingsStore store_;
  ScreenSize primary_;
  ControlEvents events_;
  ScopedKernelHandle watcher_;
  std::atomic<bool> watcher_running_{true};
  ScopedKernelHandle exiting_;  // manual reset: set once, when the service is to exit
  ScopedFileHandle mouse_device_;
  ScopedFileHandle beep_device_;
  bool dos_device_defined_ = false;

  // Declared before the controllers, whose readers use the captures: destroyed after them.
  CaptureSession captures_{"USB%02d.txt"};
  std::recursive_mutex restart_lock_;
  std::vector<std::unique_ptr<UsbController>> controllers_;
  std::atomic<std::size_t> started_count_{0};

  ScopedKernelHandle point_section_;
  ScopedKernelHandle raw_cell_section_;
  std::uint8_t* point_view_ = nullptr;
  std::uint8_t* raw_cell_view_ = nullptr;

  ServiceSettings settings_;
};

}  // namespace zorvik
