// The stream side of one USB controller: start bytes drive the touch state machine and the
// framer, and complete frames are decoded (single touch, cells, replies).
#include "usbsvc/touch_device.h"

#include <algorithm>

#include "common/settings_schema.h"
#include "common/touch_wire.h"
#include "usbsvc/usb_frames.h"

namespace zorvik {

TouchDevice::TouchDevice(const DevicePorts& ports, int device_number, Platform platform,
                         ScreenSize primary)
    : ports_(ports),
      device_number_(device_number),
      settings_(NewDeviceSettings(primary)),
      pointer_(ports.pointer, ports.clock, platform) {}

void TouchDevice::ApplySettings(const DeviceSettings& settings) {
  std::lock_guard lock(settings_mutex_);
  settings_ = settings;
}

DeviceSettings TouchDevice::settings() const {
  std::lock_guard lock(settings_mutex_);
  return settings_;
}

void TouchDevice::SendDeviceQuery() {
  ports_.link.Write(wire::kDeviceQuery);
}

void TouchDevice::ParseChunk(std::span<const std::uint8_t> chunk) {
  if (chunk.size() >= wire::kChunkLimit) return;
  std::lock_guard lock(settings_mutex_);
  chunk_time_ = ports_.clock.NowUtc();
  for (const std::uint8_t byte : chunk)
    ParseByte(byte);
}

void TouchDevice::ParseByte(std::uint8_t byte) {
  if (wire::IsStartByte(byte)) {
    StartFrame(byte);
  } else if (const auto frame = framer_.Push(byte)) {
    DecodeFrame(framer_.kind(), *frame);
  }
}

void TouchDevice::StartFrame(std::uint8_t byte) {
  switch (byte) {
    case wire::kFingerDown:
      StartTouchFrame(UsbFrameKind::kSingleTouch, Event::kFingerDown);
      break;
    case wire::kFingerUp:
      StartTouchFrame(UsbFrameKind::kSingleTouch, Event::kFingerUp);
      break;
    case wire::kCellsTouched:
      StartCellsTouched();
      break;
    case wire::kCellsLifted:
      StartTouchFrame(UsbFrameKind::kCells, Event::kCellsLifted);
      break;
    case wire::kQueryReply:
      framer_.Start(UsbFrameKind::kQueryReply);
      break;
    case wire::kFirmwareReply:
      framer_.Start(UsbFrameKind::kFirmwareReply);
      break;
    case wire::kDeviceIdReply:
      framer_.Start(UsbFrameKind::kDeviceIdReply);
      break;
    default:
      break;
  }
}

void TouchDevice::StartTouchFrame(UsbFrameKind kind, Event event) {
  framer_.Start(kind);
  Dispatch(event);
}

void TouchDevice::StartCellsTouched() {
  if (machine_.IgnoresCells()) {
    // Ignored until all fingers lift. Its data bytes are dropped too, so that they cannot be
    // read as the continuation of the frame before.
    framer_.Ignore();
    return;
  }
  StartTouchFrame(UsbFrameKind::kCells, Event::kCellsTouched);
}

void TouchDevice::TickAtTouchDown() {
  if (touchwire::TicksAtTouchDown(settings_.ClickMode)) Beep();
}

// Release at the last position, the tick at lift when a touch ended; a right click lasts one
// touch.
void TouchDevice::ReleaseButton(bool touch_ended) {
  pointer_.ReleaseAtLast(settings_);
  if (touch_ended && touchwire::TicksAtLift(settings_.ClickMode)) Beep();
  touchwire::EndOneShotRightClick(settings_.ClickRightLeft, true,
                                  [this] { ports_.signals.Set(DeviceSignal::kClickChangeAck); });
}

void TouchDevice::CheckPopup(UtcTime now) {
  if (popup_.Check(now, settings_.mp, settings_.monitor)) {
    ports_.signals.Set(DeviceSignal::kPopup);
  }
}

void TouchDevice::DecodeFrame(UsbFrameKind kind, std::span<const std::uint8_t> frame) {
  switch (kind) {
    case UsbFrameKind::kSingleTouch:
      SingleTouchPoint(frame);
      break;
    case UsbFrameKind::kCells:
      CellFrame(frame);
      break;
    case UsbFrameKind::kQueryReply:
    case UsbFrameKind::kFirmwareReply:
    case UsbFrameKind::kDeviceIdReply:
      Reply(kind, frame);
      break;
    case UsbFrameKind::kIgnoredCells:
    case UsbFrameKind::kNone:
      break;
  }
}

// Points move the pointer only while the touch is down; every point is acknowledged.
void TouchDevice::SingleTouchPoint(std::span<const std::uint8_t> frame) {
  if (machine_.down()) {
    const usbframe::RawPoint raw = usbframe::DecodeSingleTouch(frame);
    const PixelPoint at = SensorToMonitor(raw.x, raw.y, settings_.monitor);
    if (const auto corrected = Calibrate(at, settings_.mapping.matrix)) {
      if (pointer_.OnPosition(*corrected, settings_, machine_.touching())) {
        Dispatch(Event::kContactTracked);
      }
    }
  }
  Acknowledge();
}

void TouchDevice::Reply(UsbFrameKind kind, std::span<const std::uint8_t> reply) {
  switch (kind) {
    case UsbFrameKind::kQueryReply:
      own_kind_ = usbframe::FromOwnKind(reply);
      ports_.registry.SetText(device_number_, schema::kDeviceActive, schema::kDeviceActiveYes);
      break;
    case UsbFrameKind::kFirmwareReply:
      ports_.registry.SetText(device_number_, schema::kFirmwareVersion, usbframe::ReplyText(reply));
      break;
    case UsbFrameKind::kDeviceIdReply:
      ports_.registry.SetText(device_number_, schema::kDeviceId, usbframe::ReplyText(reply));
      break;
    default:
      break;
  }
}

void TouchDevice::CellFrame(std::span<const std::uint8_t> frame) {
  header_ = usbframe::DecodeCellHeader(frame);
  const std::size_t cells = std::size_t{header_.cx} + header_.cy;
  // Frames that no blob geometry fits (an axis under two cells, more levels than the copy holds)
  // are acknowledged and otherwise dropped.
  if (header_.cx < 2 || header_.cy < 2 || cells > kMaxCellLevels) {
    Acknowledge();
    return;
  }
  levels_.fill(0);  // levels beyond the N received read as free
  const std::span<const std::uint8_t> received = usbframe::CellLevels(frame);
  std::copy_n(received.begin(), std::min(received.size(), levels_.size()), levels_.begin());
  {
    const std::span<std::uint8_t> view = ports_.sections.View(SectionKind::kRawCells);
    std::lock_guard lock(ports_.sections.WriteLock());
    WriteRawCellSection(view, CellState(), header_, levels_);
  }
  ports_.sections.Published(SectionKind::kRawCells);
  blobs_.Clear();
  const std::span<const std::uint8_t> levels(levels_.data(), cells);
  FindBlobs(levels.first(header_.cx), Axis::kX, blobs_);
  FindBlobs(levels.subspan(header_.cx), Axis::kY, blobs_);
  CandidateStage();
  Acknowledge();
}

RawCellState TouchDevice::CellState() const {
  switch (machine_.state()) {
    case TouchStateMachine::State::kUp:
      return RawCellState::kUp;
    case TouchStateMachine::State::kDown:
      return RawCellState::kDownNotYetTouching;
    case TouchStateMachine::State::kTouching:
      return RawCellState::kTouching;
  }
  return RawCellState::kUp;
}

}  // namespace zorvik
