// The serial controller protocol: host command frames, and the decoder of the controller's
// messages (touch frames, query answer, firmware and identification texts) with the pairing of
// X and Y shadows into published points. Portable; all state is fixed-size.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "common/pointer_emit.h"
#include "common/service_settings.h"

namespace zorvik {

inline constexpr std::size_t kSerialMaxRecords = 100;
inline constexpr std::size_t kSerialBufferSize = 1024;
inline constexpr std::size_t kSerialPointFrameSize = 2008;
inline constexpr std::size_t kSerialPublishedRecordBytes = 10;

// The 4 bytes of a host command of type 1..7 with value v; none for other types.
std::optional<std::array<std::uint8_t, 4>> SerialCommandFrame(int type, std::int32_t value);

#pragma pack(push, 1)
struct SerialPointRecord {
  std::uint16_t id = 0;
  std::int16_t x1 = 0;
  std::int16_t y1 = 0;
  std::int16_t x2 = 0;
  std::int16_t y2 = 0;
  std::uint16_t unused = 0;
  std::uint16_t x_index = 0;  // private copy only
  std::uint16_t y_index = 0;
  std::uint32_t in_use = 0;
};
struct SerialPointFrame {
  std::int32_t status = 0;  // 0 no touch, 1 new point set, 2 shadow count changed
  std::int32_t count = 0;
  std::array<SerialPointRecord, kSerialMaxRecords> records{};
};
#pragma pack(pop)
static_assert(sizeof(SerialPointRecord) == 20);
static_assert(sizeof(SerialPointFrame) == kSerialPointFrameSize);

enum class SerialSignal { kBeep, kClickChangeAck, kPointsUpdated };

// What a serial device reaches outside itself.
class SerialDevicePorts {
 public:
  virtual ~SerialDevicePorts() = default;
  virtual void Set(SerialSignal signal) = 0;
  virtual PointerOutput& pointer() = 0;
  // The shared section (2008 bytes; empty when there is none) and the lock that keeps the
  // writes of all devices apart.
  virtual std::span<std::uint8_t> Section() = 0;
  virtual std::mutex& SectionLock() = 0;
  // Gives readers time to see a "shadow count changed" status (1 ms on Windows).
  virtual void PauseForReaders() {}
  // Called after each write of the status into the section.
  virtual void StatusWritten() {}
};

class SerialTouchDecoder {
 public:
  SerialTouchDecoder(SerialDevicePorts& ports, Platform platform, ScreenSize primary);

  void Parse(std::span<const std::uint8_t> bytes);

  // Settings copies; `loaded` says a settings load has happened at least once.
  void ApplySettings(const DeviceSettings& settings);
  DeviceSettings settings() const;

  bool answered() const;
  std::string firmware() const;
  std::string device_id() const;
  const SerialPointFrame& point_frame() const { return current_points_; }

 private:
  enum class Kind { kNone, kTouchFrame, kQueryAnswer, kFirmwareText, kIdentificationText };
  struct AxisEntry {
    std::uint16_t in_use = 0;
    std::int16_t second = 0;
    std::int16_t first = 0;
  };
  struct DecodedFrame {
    std::int32_t n = 0;
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    std::array<AxisEntry, kSerialMaxRecords> x{};
    std::array<AxisEntry, kSerialMaxRecords> y{};
  };

  void Header(std::uint8_t byte);
  void Release();
  void Step();
  void ProcessFrame();
  void Decode();
  void BuildAllPairs();
  void BuildByTracking();
  bool Append(std::size_t i, std::size_t j);
  void PublishPoints();
  void PublishStatus(std::int32_t status);
  void PublishCount(std::int32_t count);

  SerialDevicePorts& ports_;
  Platform platform_;
  mutable std::mutex settings_mutex_;
  DeviceSettings settings_;
  bool loaded_ = false;

  std::array<std::uint8_t, kSerialBufferSize> buffer_{};
  std::size_t fill_ = 0;
  Kind kind_ = Kind::kNone;
  bool down_ = false;
  bool first_frame_done_ = false;
  bool answered_ = false;
  std::array<char, kSerialBufferSize> firmware_{};
  std::size_t firmware_length_ = 0;
  std::array<char, kSerialBufferSize> device_id_{};
  std::size_t device_id_length_ = 0;
  std::int32_t cx_ = 0;
  std::int32_t cy_ = 0;
  std::int32_t n_ = 0;
  std::array<std::array<std::uint8_t, 8>, kSerialMaxRecords> records_{};
  DecodedFrame current_frame_;
  DecodedFrame previous_frame_;
  SerialPointFrame current_points_;
  SerialPointFrame previous_points_;
};

}  // namespace zorvik
