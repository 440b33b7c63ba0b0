// The stream parser and touch state of one USB controller.
#include "usbsvc/touch_device.h"

#include <algorithm>
#include <string_view>

#include "common/byte_order.h"
#include "common/settings_schema.h"

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
  for (const std::uint8_t byte : chunk)
    ParseByte(byte);
}

void TouchDevice::ParseByte(std::uint8_t byte) {
  // A start byte leaves an empty (or ignored) frame, for which the frame step does nothing.
  if (wire::IsStartByte(byte)) {
    StartByte(byte);
    return;
  }
  if (kind_ == FrameKind::kIgnoredCells) return;
  if (fill_ < buffer_.size()) {
    buffer_[fill_++] = byte;
    written_ = std::max(written_, fill_);
  } else {
    ClearBuffer();  // overflow: the byte is lost and counting starts anew
  }
  FrameStep();
}

// Zeroes the buffer. Only bytes below the high-water mark can be non-zero, so only those are
// written: a frame start costs what the frame used, not the whole buffer.
void TouchDevice::ClearBuffer() {
  std::fill_n(buffer_.begin(), written_, 0);
  written_ = 0;
  fill_ = 0;
}

void TouchDevice::StartByte(std::uint8_t byte) {
  switch (byte) {
    case wire::kFingerDown:
      FingerDown();
      break;
    case wire::kFingerUp:
      FingerUp();
      break;
    case wire::kCellsTouched:
      CellsTouched();
      break;
    case wire::kCellsLifted:
      CellsLifted();
      break;
    case wire::kQueryReply:
      ClearBuffer();
      kind_ = FrameKind::kQueryReply;
      break;
    case wire::kFirmwareReply:
      ClearBuffer();
      kind_ = FrameKind::kFirmwareReply;
      break;
    case wire::kDeviceIdReply:
      ClearBuffer();
      kind_ = FrameKind::kDeviceIdReply;
      break;
    default:
      break;
  }
}

void TouchDevice::TouchDown() {
  if (down_) return;
  down_ = true;
  if (settings_.ClickMode == 1) Beep();
}

void TouchDevice::FingerDown() {
  ClearBuffer();
  TouchDown();
  kind_ = FrameKind::kSingleTouch;
}

void TouchDevice::FingerUp() {
  ClearBuffer();
  ReleaseButton(down_);
  down_ = false;
  pointer_.set_in_progress(false);
  kind_ = FrameKind::kSingleTouch;
}

void TouchDevice::CellsTouched() {
  if (settings_.mp.EnableTouchCorrect != 0 && jump_lift_) {
    // Ignored until all fingers lift. Its data bytes are dropped too, so that they cannot be
    // read as the continuation of the frame before.
    kind_ = FrameKind::kIgnoredCells;
    return;
  }
  ClearBuffer();
  TouchDown();
  kind_ = FrameKind::kCells;
}

void TouchDevice::CellsLifted() {
  ClearBuffer();
  jump_lift_ = false;
  if (popup_.Check(ports_.clock.NowUtc(), settings_.mp, settings_.monitor)) {
    ports_.signals.Set(DeviceSignal::kPopup);
  }
  if (settings_.mp.EnableMouseAction != 0) ReleaseButton(down_);
  down_ = false;
  pointer_.set_in_progress(false);
  kind_ = FrameKind::kCells;
}

// Release at the last position, the tick of ClickMode 2 when a touch ended; a right click lasts
// one touch.
void TouchDevice::ReleaseButton(bool touch_ended) {
  pointer_.ReleaseAtLast(settings_);
  if (touch_ended && settings_.ClickMode == 2) Beep();
  if (settings_.ClickRightLeft != 0) {
    ports_.signals.Set(DeviceSignal::kClickChangeAck);
    settings_.ClickRightLeft = 0;
  }
}

void TouchDevice::FrameStep() {
  switch (kind_) {
    case FrameKind::kSingleTouch:
      SingleTouchStep();
      break;
    case FrameKind::kCells:
      CellStep();
      break;
    case FrameKind::kQueryReply:
    case FrameKind::kFirmwareReply:
    case FrameKind::kDeviceIdReply:
      ReplyStep();
      break;
    case FrameKind::kIgnoredCells:
    case FrameKind::kNone:
      break;
  }
}

void TouchDevice::SingleTouchStep() {
  if (fill_ == 4) {
    if (down_) {
      const PixelPoint at =
          SensorToMonitor(SevenBitPair(buffer_[0], buffer_[1]),
                          SevenBitPair(buffer_[2], buffer_[3]), settings_.monitor);
      if (const auto corrected = Calibrate(at, settings_.mapping.matrix)) {
        pointer_.OnPosition(*corrected, settings_);
      }
    }
    Acknowledge();
  } else if (fill_ > 4) {
    fill_ = 0;  // the byte stays; the next four bytes form the next point
  }
}

void TouchDevice::ReplyStep() {
  if (fill_ == 0 || fill_ + 1 != buffer_[0]) return;
  const std::string_view text(reinterpret_cast<const char*>(buffer_.data()) + 1, fill_ - 1);
  switch (kind_) {
    case FrameKind::kQueryReply:
      own_kind_ =
          fill_ >= 3 && buffer_[1] == wire::kOwnKindMark1 && buffer_[2] == wire::kOwnKindMark2;
      ports_.registry.SetText(device_number_, schema::kDeviceActive, schema::kDeviceActiveYes);
      break;
    case FrameKind::kFirmwareReply:
      ports_.registry.SetText(device_number_, schema::kFirmwareVersion, text);
      break;
    case FrameKind::kDeviceIdReply:
      ports_.registry.SetText(device_number_, schema::kDeviceId, text);
      break;
    default:
      break;
  }
}

void TouchDevice::CellStep() {
  switch (fill_) {
    case 2:
      header_ = {};
      levels_.fill(0);
      header_.n = static_cast<std::uint16_t>(SevenBitPair(buffer_[0], buffer_[1]));
      break;
    case 4:
      header_.cx = static_cast<std::uint16_t>(SevenBitPair(buffer_[2], buffer_[3]));
      break;
    case 6:
      header_.cy = static_cast<std::uint16_t>(SevenBitPair(buffer_[4], buffer_[5]));
      break;
    default:
      break;
  }
  if (fill_ >= 6 && fill_ == std::size_t{header_.n} + 6) CompleteCellFrame();
}

void TouchDevice::CompleteCellFrame() {
  const std::size_t cells = std::size_t{header_.cx} + header_.cy;
  // Frames that no blob geometry fits (an axis under two cells, more levels than the copy holds)
  // are acknowledged and otherwise dropped.
  if (header_.cx < 2 || header_.cy < 2 || cells > kMaxCellLevels) {
    Acknowledge();
    return;
  }
  std::copy_n(buffer_.begin() + 6, header_.n, levels_.begin());  // the rest stays 0 (free)
  WriteRawCellSection(ports_.sections.View(SectionKind::kRawCells), CellState(), header_, levels_);
  ports_.sections.Published(SectionKind::kRawCells);
  blobs_.Clear();
  const std::span<const std::uint8_t> levels(levels_.data(), cells);
  FindBlobs(levels.first(header_.cx), Axis::kX, blobs_);
  FindBlobs(levels.subspan(header_.cx), Axis::kY, blobs_);
  CandidateStage();
  Acknowledge();
}

RawCellState TouchDevice::CellState() const {
  if (!down_) return RawCellState::kUp;
  return pointer_.in_progress() ? RawCellState::kTouching : RawCellState::kDownNotYetTouching;
}

}  // namespace zorvik
