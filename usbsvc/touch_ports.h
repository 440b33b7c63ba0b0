// What one controller's touch pipeline reaches outside itself: the controller's write pipe, the
// named events it sets, its registry entry, the pointer output, the clock and the two shared
// sections. The service wires them to Win32; the replay tool and the tests to recorders.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string_view>

#include "common/pointer_emit.h"
#include "common/utc_time.h"

namespace zorvik {

class ControllerLink {
 public:
  virtual ~ControllerLink() = default;
  // One command to the controller; failures are not reported.
  virtual void Write(std::span<const std::uint8_t> bytes) = 0;
};

enum class DeviceSignal {
  kBeep,            // the service's tick request
  kClickChangeAck,  // one-shot right click used
  kPointEvent,      // own-kind controllers only
  kRawCellEvent,    // own-kind controllers only
  kPointEventAll,
  kRawCellEventAll,
  kPopup,
};

// The kernel object name behind each signal.
const char* SignalName(DeviceSignal signal);

class DeviceSignals {
 public:
  virtual ~DeviceSignals() = default;
  virtual void Set(DeviceSignal signal) = 0;
};

class DeviceRegistry {
 public:
  virtual ~DeviceRegistry() = default;
  // A REG_SZ value under Software\ZorvikTouchParam\USBAcitve\USB%02d (nn = device number).
  virtual void SetText(int device_number, std::string_view value_name, std::string_view text) = 0;
};

enum class SectionKind { kPoints, kRawCells };

class SharedSections {
 public:
  virtual ~SharedSections() = default;
  // The mapped view; empty when the section could not be created or mapped.
  virtual std::span<std::uint8_t> View(SectionKind kind) = 0;
  // Called after each publication into a section.
  virtual void Published(SectionKind /*kind*/) {}
  // Held while one frame is written into a section. The controllers of one service share the
  // sections: one controller's frame must never be written into the middle of another's.
  virtual std::mutex& WriteLock() { return own_write_lock_; }

 private:
  std::mutex own_write_lock_;  // enough for a pipeline that shares its sections with no other
};

struct DevicePorts {
  ControllerLink& link;
  DeviceSignals& signals;
  DeviceRegistry& registry;
  PointerOutput& pointer;
  Clock& clock;
  SharedSections& sections;
};

}  // namespace zorvik
