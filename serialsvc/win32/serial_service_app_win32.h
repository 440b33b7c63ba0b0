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
#include "common/win32/service_lifecycle_win32.h"
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
  using DeviceList = std::vector<std::unique_ptr<SerialTouchDevice>>;

  void Tick();
  void LoadSettings();
  void ShutDown();

  void Work();
  // Sleeps `ms` unless the service is stopping; false when it is.
  bool Rest(DWORD ms);
  // Waits for the worker to end; a failure box it shows is closed, as nobody answers it now.
  void StopWorker();
  // Closes the served devices and builds the new list. The list is taken out of devices_ at
  // the start and put back at the end, so that the lock is never held across the rebuild's
  // pauses; a settings load meanwhile waits for the load that follows the rebuild.
  void Rebuild(FailureReports& reports);
  void BuildList(DeviceList& devices, FailureReports& reports);
  // Puts the rebuilt list in place; a settings load asked for meanwhile is asked for again.
  void Publish(DeviceList& devices);
  bool OpenMouseDevice();
  void FullScan(DeviceList& devices, FailureReports& reports);
  void ReopenFromList(DeviceList& devices, FailureReports& reports);
  void BringUp(int port_number, DeviceList& devices, FailureReports& reports);
  void RewriteList(DeviceList& devices, FailureReports& reports);
  void CloseAll(DeviceList& devices, FailureReports& reports);
  void Close(SerialTouchDevice& device, FailureReports& reports);

  SystemVersion version_;
  RegistrySettingsStore store_;
  ScreenSize primary_;
  ControlEvents events_;
  ServiceWorker worker_;
  std::atomic<bool> rescan_requested_{true};
  bool first_start_ = true;
  ScopedFileHandle mouse_device_;

  // Declared before the devices, whose listeners use the captures: destroyed after them.
  CaptureSession captures_{"SerialCOM%d.txt"};  // "COM4.txt" would name the port itself
  // Guards devices_, rebuilding_ and load_deferred_; held only while the list is walked or
  // swapped, never across a pause or a box.
  std::mutex device_lock_;
  DeviceList devices_;
  bool rebuilding_ = false;
  bool load_deferred_ = false;

  // One section and view for the service's life; every device publishes through it, one
  // device at a time.
  ScopedKernelHandle section_;
  ScopedMappedView section_view_;
  std::mutex section_lock_;

  ServiceSettings settings_;
};

}  // namespace zorvik
