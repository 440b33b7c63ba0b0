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
#include "common/state_transition.h"
#include "serialsvc/serial_framer.h"
#include "serialsvc/serial_frames.h"
#include "serialsvc/serial_touch_state_machine.h"
#include "serialsvc/shadow_pairing.h"

namespace zorvik {

// The 4 bytes of a host command of type 1..7 with value v; none for other types.
std::optional<std::array<std::uint8_t, 4>> SerialCommandFrame(int type, std::int32_t value);

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

class SerialTouchDecoder final : private SerialTouchActions {
 public:
  SerialTouchDecoder(SerialDevicePorts& ports, Platform platform, ScreenSize primary);

  // `now` only stamps the reported transitions; no decision depends on the time.
  void Parse(std::span<const std::uint8_t> bytes) { Parse(bytes, UtcTime{}); }
  void Parse(std::span<const std::uint8_t> bytes, UtcTime now);

  // Settings copies; `loaded` says a settings load has happened at least once.
  void ApplySettings(const DeviceSettings& settings);
  DeviceSettings settings() const;

  bool answered() const;
  std::string firmware() const;
  std::string device_id() const;
  const SerialPointFrame& point_frame() const { return current_points_; }
  SerialTouchStateMachine::State touch_state() const { return machine_.state(); }
  // Reports every event of the touch state machine; null (the default) reports nothing.
  void SetTransitionObserver(TransitionObserver* observer) { machine_.set_observer(observer); }

 private:
  using Event = SerialTouchStateMachine::Event;

  void Header(std::uint8_t byte, UtcTime now);
  void Message(SerialMessageKind kind, std::span<const std::uint8_t> body, UtcTime now);
  void TouchFrame(std::span<const std::uint8_t> frame, UtcTime now);
  void StoreText(std::span<const std::uint8_t> text, std::array<char, kSerialBufferSize>& store,
                 std::size_t& length);

  // SerialTouchActions: what the state machine's transitions do.
  void TickAtTouchDown() override;
  void ReleaseButton(bool touch_ended) override;
  void PublishNoTouch() override;
  void PublishAllPairs() override;
  void PublishTrackedPairs() override;

  void Decode();
  void BuildAllPairs();
  void BuildByTracking();
  void FinishFrame();
  void PublishPoints();
  void PublishStatus(std::int32_t status);
  void PublishCount(std::int32_t count);
  bool WriteSection();

  SerialDevicePorts& ports_;
  Platform platform_;
  mutable std::mutex settings_mutex_;
  DeviceSettings settings_;
  bool loaded_ = false;

  SerialFramer framer_;
  SerialTouchStateMachine machine_{*this};
  bool answered_ = false;
  std::array<char, kSerialBufferSize> firmware_{};
  std::size_t firmware_length_ = 0;
  std::array<char, kSerialBufferSize> device_id_{};
  std::size_t device_id_length_ = 0;
  std::int32_t cx_ = 0;
  std::int32_t cy_ = 0;
  std::int32_t n_ = 0;
  std::array<std::array<std::uint8_t, serialframe::kRecordSize>, kSerialMaxRecords> records_{};
  DecodedFrame current_frame_;
  DecodedFrame previous_frame_;
  SerialPointFrame current_points_;
  SerialPointFrame previous_points_;
  // What this device last wrote into the shared section; every write rewrites all of it.
  SerialPointFrame published_;
};

}  // namespace zorvik
