// One served USB controller: its pipes, its reader thread, its touch pipeline and the Win32 side
// of every port the pipeline reaches (events, registry, virtual mouse, clock, sections).
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "common/registry_settings_store_win32.h"
#include "common/win32/handle_win32.h"
#include "common/win32/pointer_output_win32.h"
#include "common/win32/stream_capture_win32.h"
#include "usbsvc/touch_device.h"
#include "usbsvc/win32/device_pipe_win32.h"

namespace zorvik {

// What every controller shares with the service.
struct ControllerContext {
  HANDLE beep_event = nullptr;
  const ScopedFileHandle* mouse_device = nullptr;  // the service's, empty when not open
  Platform platform = Platform::kNt;
  ScreenSize primary;
  std::span<std::uint8_t> point_view;
  std::span<std::uint8_t> raw_cell_view;
  std::mutex* section_lock = nullptr;  // the service's: every controller writes its frames under it
};

class UsbController final : ControllerLink, DeviceSignals, DeviceRegistry, Clock, SharedSections {
 public:
  UsbController(const ControllerContext& context, int device_number, std::string path);
  ~UsbController() override;

  DevicePipe& pipe() { return pipe_; }
  // The touch pipeline of this controller.
  TouchDevice& pipeline() { return *device_; }
  // The device interface path: the identity the display lookup matches.
  const std::string& identity() const { return path_; }
  // 1-based, in enumeration order: names its registry key and its capture.
  int number() const { return number_; }

  // The capture the reader hands its chunks to (kept only while one is under way); set before
  // the reader starts.
  void set_capture(StreamCapture* capture) { capture_ = capture; }
  void StartReader();
  // Sets the stop flag, wakes a blocked read and waits for the thread without a time limit.
  void StopReader();
  // Closes the click acknowledgement event held so far and opens it again (it exists while the
  // click tool runs). Safe while the reader runs.
  void ReopenClickAck();

 private:
  static DWORD WINAPI ReaderThread(void* self);
  void ReadLoop();

  void Write(std::span<const std::uint8_t> bytes) override;
  void Set(DeviceSignal signal) override;
  void SetText(int device_number, std::string_view value_name, std::string_view text) override;
  UtcTime NowUtc() override;
  std::uint32_t DoubleClickTime() override;
  std::span<std::uint8_t> View(SectionKind kind) override;
  std::mutex& WriteLock() override;

  ControllerContext context_;
  std::string path_;
  int number_;
  RegistrySettingsStore store_;
  VirtualMouseOutput pointer_;
  DevicePipe pipe_;
  // Indexed by DeviceSignal; kBeep uses the service's event.
  static constexpr std::size_t kSignalCount = static_cast<std::size_t>(DeviceSignal::kPopup) + 1;
  std::array<ScopedKernelHandle, kSignalCount> events_;
  // The click acknowledgement is replaced by the main thread and set by the reader.
  std::mutex click_ack_lock_;
  std::unique_ptr<TouchDevice> device_;
  ScopedKernelHandle reader_;
  std::atomic<bool> stop_{false};
  StreamCapture* capture_ = nullptr;
};

}  // namespace zorvik
