// One served COM port.
#include "serialsvc/win32/serial_touch_device_win32.h"

#include <algorithm>
#include <array>

#include "common/kernel_object_names.h"
#include "common/settings_schema.h"
#include "common/win32/system_win32.h"

namespace zorvik {
namespace {

constexpr DWORD kReadSize = 1024;

}  // namespace

SerialTouchDevice::SerialTouchDevice(const SerialServiceContext& context, int port_number)
    : context_(context),
      port_number_(port_number),
      pointer_(context.mouse_device),
      decoder_(*this, context.platform, context.primary) {
  NullDaclSecurity security;
  ipc_event_.reset(CreateEventA(security.get(), FALSE, FALSE, names::kSerialPointEvent));
}

SerialTouchDevice::~SerialTouchDevice() {
  // The listener thread uses the decoder: it ends before any member goes.
  ClosePort();
}

bool SerialTouchDevice::SendCommand(int type, std::int32_t value) {
  const auto frame = SerialCommandFrame(type, value);
  if (!frame) return true;
  const int repeats = type == 1 ? 2 : 1;
  for (int i = 0; i < repeats; ++i) {
    if (WriteBytes(frame->data(), static_cast<DWORD>(frame->size()), nullptr, nullptr,
                   kCommandWriteTimeoutMs) != serial_result::kSuccess)
      return false;
  }
  return true;
}

void SerialTouchDevice::HandleEvent(DWORD events, DWORD /*errors*/) {
  if (!(events & EV_RXCHAR)) return;
  std::array<std::uint8_t, kReadSize> buffer{};
  DWORD count = 0;
  ReadBytes(buffer.data(), kReadSize, &count, nullptr, INFINITE);
  const std::span<const std::uint8_t> read(buffer.data(), std::min<DWORD>(count, kReadSize));
  if (capture_ != nullptr) capture_->Record(read);
  decoder_.Parse(read);
}

void SerialTouchDevice::ReopenClickAck() {
  ScopedKernelHandle handle(OpenEventByEitherName(names::kClickChangeAckEvent, nullptr));
  {
    std::lock_guard lock(click_ack_lock_);
    std::swap(click_ack_, handle);
  }
  // `handle` now owns the old event and closes it here, where the listener cannot be setting it.
}

void SerialTouchDevice::Set(SerialSignal signal) {
  HANDLE event = nullptr;
  switch (signal) {
    case SerialSignal::kBeep:
      event = context_.beep_event;
      break;
    case SerialSignal::kClickChangeAck: {
      std::lock_guard lock(click_ack_lock_);
      if (click_ack_) SetEvent(click_ack_.get());
      return;
    }
    case SerialSignal::kPointsUpdated:
      event = ipc_event_.get();
      break;
  }
  if (event != nullptr) SetEvent(event);
}

std::string SerialTouchDevice::identity() const {
  return schema::NumberedName(names::kComPortFormat, port_number_);
}

std::span<std::uint8_t> SerialTouchDevice::Section() {
  const ScopedMappedView& view = *context_.section_view;
  if (!view) return {};
  return {view.bytes(), kSerialPointFrameSize};
}

}  // namespace zorvik
