// One USB touch controller's pipeline: framing, frame decoding and the touch state machine,
// blob finding, the pointer stage, multi-touch tracking and publication. All state is
// fixed-size; parsing never allocates. Runs on the controller's reader thread; settings arrive
// from the main thread.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <span>

#include "common/service_settings.h"
#include "usbsvc/blob_finder.h"
#include "usbsvc/candidate_grid.h"
#include "usbsvc/candidate_tracking.h"
#include "usbsvc/pointer_stage.h"
#include "usbsvc/touch_ports.h"
#include "usbsvc/touch_sharing.h"
#include "usbsvc/touch_state_machine.h"
#include "usbsvc/usb_framer.h"

namespace zorvik {

class TouchDevice final : private TouchActions {
 public:
  // `device_number` is the 1-based position in the device list; `primary` the primary screen.
  TouchDevice(const DevicePorts& ports, int device_number, Platform platform, ScreenSize primary);
  TouchDevice(const TouchDevice&) = delete;
  TouchDevice& operator=(const TouchDevice&) = delete;

  // One chunk read from the controller.
  void ParseChunk(std::span<const std::uint8_t> chunk);
  void SendDeviceQuery();

  // Settings are replaced between chunks, never in the middle of one.
  void ApplySettings(const DeviceSettings& settings);
  DeviceSettings settings() const;

  bool own_kind() const { return own_kind_; }
  TouchStateMachine::State touch_state() const { return machine_.state(); }
  // Reports every event of the touch state machine; null (the default) reports nothing.
  void SetTransitionObserver(TransitionObserver* observer) { machine_.set_observer(observer); }

 private:
  using Event = TouchStateMachine::Event;

  void ParseByte(std::uint8_t byte);
  void StartFrame(std::uint8_t byte);
  void StartTouchFrame(UsbFrameKind kind, Event event);
  void StartCellsTouched();
  void DecodeFrame(UsbFrameKind kind, std::span<const std::uint8_t> frame);
  void Dispatch(Event event) { machine_.Handle(event, chunk_time_); }

  // TouchActions: what the state machine's transitions do.
  void TickAtTouchDown() override;
  void ReleaseButton(bool touch_ended) override;
  void CheckPopup(UtcTime now) override;
  bool MouseActionEnabled() const override { return settings_.mp.EnableMouseAction != 0; }
  bool JumpCorrectionEnabled() const override { return settings_.mp.EnableTouchCorrect != 0; }
  void Beep() { ports_.signals.Set(DeviceSignal::kBeep); }

  void SingleTouchPoint(std::span<const std::uint8_t> frame);
  void Reply(UsbFrameKind kind, std::span<const std::uint8_t> reply);
  void CellFrame(std::span<const std::uint8_t> frame);
  void Acknowledge() { ports_.link.Write(wire::kAcknowledge); }

  // Multi-touch stage.
  void CandidateStage();
  void FirstFrame();
  void NextFrame();
  void TouchLost();
  void NotAccepted();
  void FilterCandidates();
  void Follow(const TouchRecord& primary);
  void PointerAt(const TouchRecord& primary);
  void Publish(std::int32_t frame_status);
  void SignalPointEvents();
  RawCellState CellState() const;

  DevicePorts ports_;
  const int device_number_;
  mutable std::mutex settings_mutex_;
  DeviceSettings settings_;
  // The bytes of one chunk arrived together: the state machine sees them at the chunk's time.
  UtcTime chunk_time_;

  // Framing, decoding and touch state.
  UsbFramer framer_;
  TouchStateMachine machine_{*this};
  bool own_kind_ = false;
  CellHeader header_;
  std::array<std::uint8_t, kMaxCellLevels> levels_{};
  BlobTable blobs_;

  // Pointer and tracking.
  PointerStage pointer_;
  std::int32_t accepted_frames_ = 0;
  std::uint16_t previous_x_ = 0;
  std::uint16_t previous_y_ = 0;
  GridPosition popup_position_;
  PopupWatch popup_;
  CandidateGrid current_;
  CandidateGrid previous_;
};

}  // namespace zorvik
