// One served USB controller.
#include "usbsvc/win32/usb_controller_win32.h"

#include <utility>

#include "common/device_lists.h"
#include "common/kernel_object_names.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "common/win32/system_win32.h"

namespace zorvik {
namespace {

constexpr DWORD kReadSize = 1024;
// A read that brought nothing (the controller is quiet) is followed by this pause, so that the
// reader does not spin.
constexpr DWORD kEmptyReadPauseMs = 1;

std::size_t Index(DeviceSignal signal) {
  return static_cast<std::size_t>(signal);
}

}  // namespace

UsbController::UsbController(const ControllerContext& context, int device_number, std::string path)
    : context_(context),
      path_(std::move(path)),
      number_(device_number),
      pointer_(context.mouse_device) {
  // The point and popup events, shared by name by every controller, open to every process.
  NullDaclSecurity security;
  for (const DeviceSignal signal :
       {DeviceSignal::kPointEvent, DeviceSignal::kRawCellEvent, DeviceSignal::kPointEventAll,
        DeviceSignal::kRawCellEventAll, DeviceSignal::kPopup}) {
    events_[Index(signal)].reset(CreateEventA(security.get(), FALSE, FALSE, SignalName(signal)));
  }
  device_ = std::make_unique<TouchDevice>(DevicePorts{*this, *this, *this, pointer_, *this, *this},
                                          device_number, context.platform, context.primary);
}

UsbController::~UsbController() {
  StopReader();
}

void UsbController::StartReader() {
  stop_ = false;
  reader_.reset(CreateThread(nullptr, 0, &UsbController::ReaderThread, this, 0, nullptr));
}

void UsbController::StopReader() {
  if (!reader_) return;
  stop_ = true;
  pipe_.Stop();
  WaitForSingleObject(reader_.get(), INFINITE);
  reader_.reset();
  stop_ = false;
}

DWORD WINAPI UsbController::ReaderThread(void* self) {
  static_cast<UsbController*>(self)->ReadLoop();
  return 0;
}

void UsbController::ReadLoop() {
  std::uint8_t buffer[kReadSize];
  while (true) {
    std::fill(std::begin(buffer), std::end(buffer), 0);
    DWORD received = 0;
    if (pipe_.Read(buffer, kReadSize, &received) != pipe_error::kSuccess) return;
    if (received == 0) {
      Sleep(kEmptyReadPauseMs);
    } else {
      if (capture_ != nullptr) capture_->Record({buffer, received});
      device_->ParseChunk({buffer, received});
    }
    if (stop_) return;
  }
}

void UsbController::ReopenClickAck() {
  ScopedKernelHandle handle(OpenEventByEitherName(names::kClickChangeAckEvent, nullptr));
  {
    std::lock_guard lock(click_ack_lock_);
    std::swap(events_[Index(DeviceSignal::kClickChangeAck)], handle);
  }
  // `handle` now owns the old event and closes it here, where no reader can be setting it.
}

void UsbController::Write(std::span<const std::uint8_t> bytes) {
  pipe_.Write(bytes.data(), static_cast<DWORD>(bytes.size()));  // failures are not acted on
}

void UsbController::Set(DeviceSignal signal) {
  if (signal == DeviceSignal::kClickChangeAck) {
    std::lock_guard lock(click_ack_lock_);
    if (const auto& event = events_[Index(signal)]) SetEvent(event.get());
    return;
  }
  const HANDLE event =
      signal == DeviceSignal::kBeep ? context_.beep_event : events_[Index(signal)].get();
  if (event != nullptr) SetEvent(event);
}

void UsbController::SetText(int device_number, std::string_view value_name, std::string_view text) {
  WriteUsbDeviceText(store_, device_number, value_name, text);
}

UtcTime UsbController::NowUtc() {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

std::uint32_t UsbController::DoubleClickTime() {
  return GetDoubleClickTime();
}

std::span<std::uint8_t> UsbController::View(SectionKind kind) {
  return kind == SectionKind::kPoints ? context_.point_view : context_.raw_cell_view;
}

std::mutex& UsbController::WriteLock() {
  return context_.section_lock != nullptr ? *context_.section_lock : SharedSections::WriteLock();
}

}  // namespace zorvik
