// Usblink's process object: control events and main loop, tick sound, device discovery and
// restarts (watcher thread, rescan), the shared sections and settings loads.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "common/registry_settings_store_win32.h"
#include "common/service_settings.h"
#include "common/win32/capture_session_win32.h"
#include "common/win32/control_events_win32.h"
#include "common/win32/handle_win32.h"
#include "common/win32/service_lifecycle_win32.h"
#include "common/win32/system_win32.h"
#include "usbsvc/win32/usb_controller_win32.h"

namespace zorvik {

// Restarts from the watcher and from the rescan event take turns, one whole restart each. A turn
// is not the controller list's lock: settings loads and shut-down never wait for one, and the
// list lock is only held while the list itself changes or is walked, never across a pause.
class RestartTurns {
 public:
  void Take();
  void Give();

 private:
  std::mutex lock_;
  std::condition_variable given_;
  bool taken_ = false;
};

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
  // One restart's stop and start, within its turn; false when cut short by an exit request.
  bool StopAndStart();
  void Rescan();
  void ShutDown();
  // Waits `ms`; false at once when the service is to exit. An exit event seen here (the main
  // thread may be inside a rescan) is passed on to the main loop.
  bool Pause(DWORD ms);

  void StartDevices();
  // Starts the controller at `paths[k]`; false when start-up ends with it (its pipes would not
  // open, or the service is to exit).
  bool StartController(const ControllerContext& context, const std::string& path, int number);
  void StopDevices();
  void Watch();
  void OpenSections();

  SystemVersion version_;
  RegistrySettingsStore store_;
  ScreenSize primary_;
  ControlEvents events_;
  ServiceWorker watcher_;
  ScopedFileHandle mouse_device_;
  ScopedFileHandle beep_device_;
  bool dos_device_defined_ = false;

  // Declared before the controllers, whose readers use the captures: destroyed after them.
  CaptureSession captures_{"USB%02d.txt"};
  RestartTurns restart_turns_;
  // Guards controllers_, restarting_ and settings_.
  std::mutex devices_lock_;
  std::vector<std::unique_ptr<UsbController>> controllers_;
  // While set, a settings load leaves the devices alone: the restart ends with a load of its own.
  bool restarting_ = false;
  std::atomic<std::size_t> started_count_{0};

  ScopedKernelHandle point_section_;
  ScopedKernelHandle raw_cell_section_;
  ScopedMappedView point_view_;
  ScopedMappedView raw_cell_view_;
  // Every controller writes its frames into the two sections under this lock, so that no frame
  // is written into the middle of another controller's.
  std::mutex section_lock_;

  ServiceSettings settings_;
};

}  // namespace zorvik
