// One served COM port: the port and its listener thread, the protocol decoder, and the Win32
// side of what the decoder reaches (beep and acknowledgement events, the virtual mouse, the
// shared section and its event).
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>

#include "common/win32/handle_win32.h"
#include "common/win32/pointer_output_win32.h"
#include "common/win32/stream_capture_win32.h"
#include "serialsvc/serial_protocol.h"
#include "serialsvc/win32/serial_port_win32.h"

namespace zorvik {

inline constexpr DWORD kCommandWriteTimeoutMs = 500;
// How long a writer of the shared section stands back so that readers get their turn.
inline constexpr DWORD kReaderTurnMs = 1;

// What every device shares with the service.
struct SerialServiceContext {
  HANDLE beep_event = nullptr;
  const ScopedFileHandle* mouse_device = nullptr;  // the service's, empty when not open
  Platform platform = Platform::kNt;
  ScreenSize primary;
  const ScopedMappedView* section_view = nullptr;  // the service's view, empty until mapped
  std::mutex* section_lock = nullptr;              // keeps the section writes of all devices apart
};

class SerialTouchDevice final : public SerialListener, SerialDevicePorts {
 public:
  SerialTouchDevice(const SerialServiceContext& context, int port_number);
  ~SerialTouchDevice() override;

  int port_number() const { return port_number_; }
  // "COM<n>": the name the port is opened by and the identity the display lookup matches.
  std::string identity() const;
  // Names the capture of this port.
  int number() const { return port_number_; }
  // The protocol decoder of this port.
  SerialTouchDecoder& pipeline() { return decoder_; }

  // Writes a command frame (type 1 twice). Each write is bounded: a port whose data never
  // drains holds the caller (and the port's reads) for at most kCommandWriteTimeoutMs. After a
  // write that did not complete no repeat follows; false then.
  bool SendCommand(int type, std::int32_t value);
  // The capture the listener hands its reads to (kept only while one is under way); set before
  // the listener starts.
  void set_capture(StreamCapture* capture) { capture_ = capture; }
  void HandleEvent(DWORD events, DWORD errors) override;
  // Opens the click acknowledgement event again and closes the one held so far, never while
  // the listener is setting it.
  void ReopenClickAck();

 private:
  void Set(SerialSignal signal) override;
  PointerOutput& pointer() override { return pointer_; }
  std::span<std::uint8_t> Section() override;
  std::mutex& SectionLock() override { return *context_.section_lock; }
  void PauseForReaders() override { Sleep(kReaderTurnMs); }

  SerialServiceContext context_;
  int port_number_;
  VirtualMouseOutput pointer_;
  ScopedKernelHandle ipc_event_;
  std::mutex click_ack_lock_;
  ScopedKernelHandle click_ack_;
  SerialTouchDecoder decoder_;
  StreamCapture* capture_ = nullptr;
};

}  // namespace zorvik
