// One USB touch controller's pipeline: the stream parser and touch state, blob finding, the
// pointer stage, multi-touch tracking and publication. All state is fixed-size; parsing never
// allocates. Runs on the controller's reader thread; settings arrive from the main thread.
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
#include "usbsvc/wire_protocol.h"

namespace zorvik {

class TouchDevice {
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

 private:
  enum class FrameKind {
    kNone,
    kSingleTouch,
    kCells,
    kIgnoredCells,  // a touch frame ignored after a jump: its data bytes are not collected
    kQueryReply,
    kFirmwareReply,
    kDeviceIdReply,
  };

  void ParseByte(std::uint8_t byte);
  void StartByte(std::uint8_t byte);
  void FrameStep();
  void ClearBuffer();

  void FingerDown();
  void FingerUp();
  void CellsTouched();
  void CellsLifted();
  void TouchDown();
  void ReleaseButton(bool touch_ended);
  void Beep() { ports_.signals.Set(DeviceSignal::kBeep); }

  void SingleTouchStep();
  void CellStep();
  void ReplyStep();
  void CompleteCellFrame();
  void Acknowledge() { ports_.link.Write(wire::kAcknowledge); }

  // Multi-touch stage.
  void CandidateStage();
  void FirstFrame();
  void NextFrame();
  void TouchLost();
  void EndTouch();
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

  // Parser.
  std::array<std::uint8_t, wire::kFrameBufferSize> buffer_{};
  std::size_t fill_ = 0;
  std::size_t written_ = 0;  // high-water mark of fill_ since the last clear
  FrameKind kind_ = FrameKind::kNone;
  bool down_ = false;
  bool own_kind_ = false;
  CellHeader header_;
  std::array<std::uint8_t, kMaxCellLevels> levels_{};
  BlobTable blobs_;

  // Pointer and tracking.
  PointerStage pointer_;
  bool jump_lift_ = false;
  std::int32_t accepted_frames_ = 0;
  std::uint16_t previous_x_ = 0;
  std::uint16_t previous_y_ = 0;
  GridPosition popup_position_;
  PopupWatch popup_;
  CandidateGrid current_;
  CandidateGrid previous_;
};

}  // namespace zorvik
