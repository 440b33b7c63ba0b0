// The serial controller protocol.
#include "serialsvc/serial_protocol.h"

#include <algorithm>
#include <cstring>

#include "common/byte_order.h"
#include "common/calibration.h"
#include "common/saturating_cast.h"

namespace zorvik {
namespace {

constexpr std::uint8_t kReleaseHeader = 0x80;
constexpr std::uint8_t kTouchHeader = 0x81;
constexpr std::uint8_t kQueryHeader = 0x82;
constexpr std::uint8_t kFirmwareHeader = 0x83;
constexpr std::uint8_t kIdentificationHeader = 0x84;
constexpr std::uint8_t kQueryMark1 = 0x0A;
constexpr std::uint8_t kQueryMark2 = 0x0F;

bool IsHeader(std::uint8_t byte) {
  return byte >= kReleaseHeader && byte <= kIdentificationHeader;
}

// Truncated toward zero, low 16 bits kept.
std::int16_t Low16(float value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(
      static_cast<std::uint32_t>(TruncSaturate<std::int32_t>(value)) & 0xFFFF));
}

}  // namespace

std::optional<std::array<std::uint8_t, 4>> SerialCommandFrame(int type, std::int32_t value) {
  if (type < 1 || type > 7) return std::nullopt;
  if (type == 1) return std::array<std::uint8_t, 4>{0x82, 0x04, 0x0A, 0x0F};
  if (type == 7) return std::array<std::uint8_t, 4>{0x88, 0x02, 0x00, 0x00};
  const std::int32_t q = value / 128;  // truncated toward zero
  const std::int32_t r = value - 128 * q;
  return std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(0x81 + type), 0x04,
                                     static_cast<std::uint8_t>(q & 0xFF),
                                     static_cast<std::uint8_t>(r & 0xFF)};
}

SerialTouchDecoder::SerialTouchDecoder(SerialDevicePorts& ports, Platform platform,
                                       ScreenSize primary)
    : ports_(ports),
      platform_(platform),
      settings_(NewDeviceSettings(primary, ServiceKind::kSerial)) {}

void SerialTouchDecoder::ApplySettings(const DeviceSettings& settings) {
  std::lock_guard lock(settings_mutex_);
  settings_ = settings;
  loaded_ = true;
}

DeviceSettings SerialTouchDecoder::settings() const {
  std::lock_guard lock(settings_mutex_);
  return settings_;
}

bool SerialTouchDecoder::answered() const {
  std::lock_guard lock(settings_mutex_);
  return answered_;
}

std::string SerialTouchDecoder::firmware() const {
  std::lock_guard lock(settings_mutex_);
  return {firmware_.data(), firmware_length_};
}

std::string SerialTouchDecoder::device_id() const {
  std::lock_guard lock(settings_mutex_);
  return {device_id_.data(), device_id_length_};
}

void SerialTouchDecoder::Parse(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(settings_mutex_);
  for (const std::uint8_t byte : bytes) {
    if (IsHeader(byte)) {
      Header(byte);
    } else if (fill_ < buffer_.size()) {
      buffer_[fill_++] = byte;
    }
    Step();
  }
}

void SerialTouchDecoder::Header(std::uint8_t byte) {
  std::fill_n(buffer_.begin(), fill_, 0);
  fill_ = 0;
  switch (byte) {
    case kTouchHeader:
      if (!down_) {
        down_ = true;
        if (settings_.ClickMode == 1) ports_.Set(SerialSignal::kBeep);
      }
      kind_ = Kind::kTouchFrame;
      break;
    case kReleaseHeader:
      Release();
      kind_ = Kind::kTouchFrame;
      break;
    case kQueryHeader:
      kind_ = Kind::kQueryAnswer;
      break;
    case kFirmwareHeader:
      kind_ = Kind::kFirmwareText;
      break;
    default:
      kind_ = Kind::kIdentificationText;
      break;
  }
}

// A button release at every release header; a right click lasts one release.
void SerialTouchDecoder::Release() {
  const PointerAction action =
      settings_.ClickRightLeft != 0 ? PointerAction::kRightRelease : PointerAction::kLeftRelease;
  EmitPointer(ports_.pointer(), platform_, action, 0, 0, settings_);
  if (down_ && settings_.ClickMode == 2) ports_.Set(SerialSignal::kBeep);
  down_ = false;
  first_frame_done_ = false;
  if (settings_.ClickRightLeft != 0 && loaded_) {
    ports_.Set(SerialSignal::kClickChangeAck);
    settings_.ClickRightLeft = 0;
  }
}

void SerialTouchDecoder::Step() {
  const auto count = static_cast<std::int32_t>(fill_);
  const auto text_complete = [&] { return fill_ >= 1 && buffer_[0] == count + 1; };
  switch (kind_) {
    case Kind::kTouchFrame:
      if (count == 6) cx_ = SevenBitPair(buffer_[4], buffer_[5]);
      if (count == 8) {
        cy_ = SevenBitPair(buffer_[6], buffer_[7]);
        n_ = std::max(cx_, cy_);
      }
      if (count >= 8 && count == 8 * n_ + 8) ProcessFrame();
      break;
    case Kind::kQueryAnswer:
      if (fill_ >= 3 && text_complete() && buffer_[1] == kQueryMark1 && buffer_[2] == kQueryMark2) {
        answered_ = true;
      }
      break;
    case Kind::kFirmwareText:
    case Kind::kIdentificationText:
      if (text_complete()) {
        const std::size_t length = fill_ - 1;
        auto& text = kind_ == Kind::kFirmwareText ? firmware_ : device_id_;
        std::memcpy(text.data(), buffer_.data() + 1, length);
        (kind_ == Kind::kFirmwareText ? firmware_length_ : device_id_length_) = length;
        answered_ = true;
      }
      break;
    case Kind::kNone:
      break;
  }
}

void SerialTouchDecoder::ProcessFrame() {
  // At most 100 records are kept; a frame announcing more is cut to 100.
  const auto kept = static_cast<std::size_t>(std::min<std::int32_t>(n_, kSerialMaxRecords));
  for (std::size_t i = 0; i < kept; ++i) {
    std::memcpy(records_[i].data(), buffer_.data() + 8 + 8 * i, 8);
  }
  if (!down_) {
    first_frame_done_ = false;
    PublishStatus(0);
    ports_.Set(SerialSignal::kPointsUpdated);
    current_points_ = {};
    previous_points_ = {};
    return;
  }
  Decode();
  if (!first_frame_done_) {
    first_frame_done_ = true;
    BuildAllPairs();
  } else {
    BuildByTracking();
    if (current_frame_.n != previous_frame_.n) {
      PublishStatus(2);
      ports_.Set(SerialSignal::kPointsUpdated);
      ports_.PauseForReaders();
    }
  }
  previous_points_ = current_points_;
  previous_frame_ = current_frame_;
  PublishStatus(1);
  ports_.Set(SerialSignal::kPointsUpdated);
}

void SerialTouchDecoder::Decode() {
  current_frame_ = {};
  current_frame_.n = std::min<std::int32_t>(n_, kSerialMaxRecords);
  current_frame_.cx = std::min<std::int32_t>(cx_, kSerialMaxRecords);
  current_frame_.cy = std::min<std::int32_t>(cy_, kSerialMaxRecords);
  PublishCount(current_frame_.n);
  const MonitorRect& monitor = settings_.monitor;
  const CalibrationMatrix& matrix = settings_.mapping.matrix;
  // Without a divider there is no calibration: the monitor positions are published as they are.
  const auto calibrate = [&](PixelPoint at) { return Calibrate(at, matrix).value_or(at); };
  for (std::int32_t i = 0; i < current_frame_.n; ++i) {
    const auto& r = records_[static_cast<std::size_t>(i)];
    const PixelPoint a =
        calibrate(SensorToMonitor(SevenBitPair(r[0], r[1]), SevenBitPair(r[4], r[5]), monitor));
    const PixelPoint b =
        calibrate(SensorToMonitor(SevenBitPair(r[2], r[3]), SevenBitPair(r[6], r[7]), monitor));
    current_frame_.x[static_cast<std::size_t>(i)] = {1, Low16(b.x), Low16(a.x)};
    current_frame_.y[static_cast<std::size_t>(i)] = {1, Low16(b.y), Low16(a.y)};
  }
}

void SerialTouchDecoder::BuildAllPairs() {
  current_points_ = {};
  PublishCount(0);
  PairAll(current_frame_, current_points_);
  PublishPoints();
}

void SerialTouchDecoder::BuildByTracking() {
  current_points_ = {};
  PublishCount(0);
  PairByTracking(current_frame_, previous_points_, current_points_);
  PublishPoints();
}

void SerialTouchDecoder::PublishPoints() {
  published_.count = current_points_.count;
  const auto kept = static_cast<std::size_t>(
      std::clamp<std::int32_t>(current_points_.count, 0, kSerialMaxRecords));
  std::copy_n(current_points_.records.begin(), kept, published_.records.begin());
  WriteSection();
}

void SerialTouchDecoder::PublishStatus(std::int32_t status) {
  current_points_.status = status;
  published_.status = status;
  if (WriteSection()) ports_.StatusWritten();
}

void SerialTouchDecoder::PublishCount(std::int32_t count) {
  published_.count = count;
  WriteSection();
}

// The whole frame in one hold of the lock: with several devices the section always holds one
// device's status, count and records together, never one device's count beside another's
// records.
bool SerialTouchDecoder::WriteSection() {
  const std::span<std::uint8_t> section = ports_.Section();
  if (section.size() < kSerialPointFrameSize) return false;
  const auto kept =
      static_cast<std::size_t>(std::clamp<std::int32_t>(published_.count, 0, kSerialMaxRecords));
  std::lock_guard lock(ports_.SectionLock());
  StoreLe(section, 0, published_.status);
  StoreLe(section, 4, published_.count);
  for (std::size_t k = 0; k < kept; ++k) {
    std::memcpy(section.data() + 8 + sizeof(SerialPointRecord) * k, &published_.records[k],
                kSerialPublishedRecordBytes);
  }
  return true;
}

}  // namespace zorvik
