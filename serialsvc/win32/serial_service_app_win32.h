// Serlink's process object: control events and main loop, the worker thread that closes,
// probes and reopens COM ports and keeps the registry list, the shared section, settings loads.
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
#include "serialsvc/win32/failure_reports_win32.h"
#include "serialsvc/win32/serial_touch_device_win32.h"

namespace zorvik {

class SerialServiceApp {
 public:
  SerialServiceApp();
  ~SerialServiceApp();
  SerialServiceApp(const SerialServiceApp&) = delete;
  SerialServiceApp& operator=(const SerialServiceApp&) = delete;

  // Runs until the exit event.
  void Run();

 private:
  void LoadSettings();
  void ShutDown();

  static DWORD WINAPI WorkerThread(void* self);
  void Work();
  // Sleeps `ms` unless the service is stopping; false when it is.
  bool Rest(DWORD ms);
  // Waits for the worker to end; a failure box it shows is closed, as nobody answers it now.
  void StopWorker();
  void Rebuild(FailureReports& reports);
  // The steps below run with device_lock_ held; their failures are shown after it is released.
  bool OpenMouseDevice();
  void FullScan(FailureReports& reports);
  void ReopenFromList(FailureReports& reports);
  void BringUp(int port_number, FailureReports& reports);
  void RewriteList(FailureReports& reports);
  void CloseAll(FailureReports& reports);
  void Close(SerialTouchDevice& device, FailureReports& reports);

  SystemVersion version_;
  RegistrySettingsStore store_;
  ScreenSize primary_;
  ControlEvents events_;
  ScopedKernelHandle worker_;
  DWORD worker_id_ = 0;
  ScopedKernelHandle worker_stop_;  // set at exit: ends the worker's pauses at once
  std::atomic<bool> running_{true};
  std::atomic<bool> rescan_requested_{true};
  bool first_start_ = true;
  ScopedFileHandle mouse_device_;

  // Declared before the devices, whose listeners use the captures: destroyed after them.
  CaptureSession captures_{"SerialCOM%d.txt"};  // "COM4.txt" would name the port itself
  // The device list: settings loads, the close at exit and the worker's rebuilds take turns.
  std::mutex device_lock_;
  std::vector<std::unique_ptr<SerialTouchDevice>> devices_;

  // One section and view for the service's life; every device publishes through it, one
  // device at a time.
  ScopedKernelHandle section_;
  std::uint8_t* section_view_ = nullptr;
  std::mutex section_lock_;

  ServiceSettings settings_;
};

}  // namespace zorvik
