// The serial controller protocol: headers drive the framer and the touch state machine, and
// complete messages are decoded (touch frames, query answer, texts).
#include "serialsvc/serial_protocol.h"

#include <algorithm>
#include <cstring>

#include "common/byte_order.h"
#include "common/calibration.h"
#include "common/saturating_cast.h"
#include "common/section_layouts.h"
#include "common/touch_wire.h"
#include "serialsvc/serial_frames.h"

namespace zorvik {
namespace {

// Section status values: what a reader finds before it reads the points.
constexpr std::int32_t kStatusNoTouch = 0;
constexpr std::int32_t kStatusNewPointSet = 1;
constexpr std::int32_t kStatusCountChanged = 2;  // always followed by a new point set

constexpr std::uint8_t kCommandLength = 0x04;
constexpr std::uint8_t kApplyCommand = 0x88;  // type 7: sent after the cell count settings
constexpr std::uint8_t kApplyCommandLength = 0x02;

// Truncated toward zero, low 16 bits kept.
std::int16_t Low16(float value) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(
      static_cast<std::uint32_t>(TruncSaturate<std::int32_t>(value)) & 0xFFFF));
}

SerialMessageKind KindOf(std::uint8_t header) {
  switch (header) {
    case touchwire::kFingerDown:
    case touchwire::kFingerUp:
      return SerialMessageKind::kTouchFrame;
    case touchwire::kQueryReply:
      return SerialMessageKind::kQueryAnswer;
    case touchwire::kFirmwareReply:
      return SerialMessageKind::kFirmwareText;
    default:
      return SerialMessageKind::kIdentificationText;
  }
}

}  // namespace

std::optional<std::array<std::uint8_t, 4>> SerialCommandFrame(int type, std::int32_t value) {
  if (type < 1 || type > 7) return std::nullopt;
  if (type == 1) return touchwire::kDeviceQuery;
  if (type == 7) return std::array<std::uint8_t, 4>{kApplyCommand, kApplyCommandLength, 0x00, 0x00};
  const std::int32_t q = value / 128;  // truncated toward zero
  const std::int32_t r = value - 128 * q;
  // Types 2..6 are the codes 0x83..0x87.
  return std::array<std::uint8_t, 4>{static_cast<std::uint8_t>(touchwire::kFingerDown + type),
                                     kCommandLength, static_cast<std::uint8_t>(q & 0xFF),
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

void SerialTouchDecoder::Parse(std::span<const std::uint8_t> bytes, UtcTime now) {
  std::lock_guard lock(settings_mutex_);
  for (const std::uint8_t byte : bytes) {
    if (touchwire::IsHeaderByte(byte)) {
      Header(byte, now);
    } else if (const auto body = framer_.Push(byte)) {
      Message(framer_.kind(), *body, now);
    }
  }
}

// Every header starts a new message, whatever came before; the touch headers are also the
// touch state machine's events.
void SerialTouchDecoder::Header(std::uint8_t byte, UtcTime now) {
  framer_.Start(KindOf(byte));
  if (byte == touchwire::kFingerDown) machine_.Handle(Event::kTouchHeader, now);
  if (byte == touchwire::kFingerUp) machine_.Handle(Event::kReleaseHeader, now);
}

void SerialTouchDecoder::Message(SerialMessageKind kind, std::span<const std::uint8_t> body,
                                 UtcTime now) {
  switch (kind) {
    case SerialMessageKind::kTouchFrame:
      TouchFrame(body, now);
      break;
    case SerialMessageKind::kQueryAnswer:
      if (serialframe::IsQueryAnswer(body)) answered_ = true;
      break;
    case SerialMessageKind::kFirmwareText:
      StoreText(serialframe::Text(body), firmware_, firmware_length_);
      break;
    case SerialMessageKind::kIdentificationText:
      StoreText(serialframe::Text(body), device_id_, device_id_length_);
      break;
    case SerialMessageKind::kNone:
      break;
  }
}

void SerialTouchDecoder::StoreText(std::span<const std::uint8_t> text,
                                   std::array<char, kSerialBufferSize>& store,
                                   std::size_t& length) {
  std::memcpy(store.data(), text.data(), text.size());
  length = text.size();
  answered_ = true;
}

void SerialTouchDecoder::TouchFrame(std::span<const std::uint8_t> frame, UtcTime now) {
  const serialframe::ShadowCounts counts = serialframe::DecodeShadowCounts(frame);
  cx_ = counts.cx;
  cy_ = counts.cy;
  n_ = counts.n;
  // At most 100 records are kept; a frame announcing more is cut to 100.
  const auto kept = static_cast<std::size_t>(std::min<std::int32_t>(n_, kSerialMaxRecords));
  for (std::size_t i = 0; i < kept; ++i) {
    const auto record = serialframe::Record(frame, i);
    std::copy(record.begin(), record.end(), records_[i].begin());
  }
  machine_.Handle(Event::kTouchFrame, now);
}

void SerialTouchDecoder::TickAtTouchDown() {
  if (touchwire::TicksAtTouchDown(settings_.ClickMode)) ports_.Set(SerialSignal::kBeep);
}

// A button release at every release header; a right click lasts one release.
void SerialTouchDecoder::ReleaseButton(bool touch_ended) {
  const PointerAction action =
      settings_.ClickRightLeft != 0 ? PointerAction::kRightRelease : PointerAction::kLeftRelease;
  EmitPointer(ports_.pointer(), platform_, action, 0, 0, settings_);
  if (touch_ended && touchwire::TicksAtLift(settings_.ClickMode)) ports_.Set(SerialSignal::kBeep);
  touchwire::EndOneShotRightClick(settings_.ClickRightLeft, loaded_,
                                  [this] { ports_.Set(SerialSignal::kClickChangeAck); });
}

void SerialTouchDecoder::PublishNoTouch() {
  PublishStatus(kStatusNoTouch);
  ports_.Set(SerialSignal::kPointsUpdated);
  current_points_ = {};
  previous_points_ = {};
}

void SerialTouchDecoder::PublishAllPairs() {
  Decode();
  BuildAllPairs();
  FinishFrame();
}

void SerialTouchDecoder::PublishTrackedPairs() {
  Decode();
  BuildByTracking();
  if (current_frame_.n != previous_frame_.n) {
    PublishStatus(kStatusCountChanged);
    ports_.Set(SerialSignal::kPointsUpdated);
    ports_.PauseForReaders();
  }
  FinishFrame();
}

void SerialTouchDecoder::FinishFrame() {
  previous_points_ = current_points_;
  previous_frame_ = current_frame_;
  PublishStatus(kStatusNewPointSet);
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
        calibrate(SensorToMonitor(serialframe::PairAt(r, serialframe::kXFirst),
                                  serialframe::PairAt(r, serialframe::kYFirst), monitor));
    const PixelPoint b =
        calibrate(SensorToMonitor(serialframe::PairAt(r, serialframe::kXSecond),
                                  serialframe::PairAt(r, serialframe::kYSecond), monitor));
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
  StoreLe(section, serial_section::kStatusAt, published_.status);
  StoreLe(section, serial_section::kCountAt, published_.count);
  for (std::size_t k = 0; k < kept; ++k) {
    std::memcpy(section.data() + serial_section::RecordOffset(k), &published_.records[k],
                kSerialPublishedRecordBytes);
  }
  return true;
}

}  // namespace zorvik
