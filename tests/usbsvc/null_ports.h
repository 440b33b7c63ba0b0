// Ports that only count effects: for allocation checks, fuzzing and benchmarks, where the cost
// and the allocations of recording would hide the pipeline's own.
#pragma once

#include <cstdint>
#include <vector>

#include "usbsvc/touch_ports.h"
#include "usbsvc/touch_sharing.h"

namespace zorvik::testing {

class CountingPorts final : public ControllerLink,
                            public DeviceSignals,
                            public DeviceRegistry,
                            public PointerOutput,
                            public Clock,
                            public SharedSections {
 public:
  DevicePorts ports() { return {*this, *this, *this, *this, *this, *this}; }

  void Write(std::span<const std::uint8_t>) override { ++effects; }
  void Set(DeviceSignal) override { ++effects; }
  void SetText(int, std::string_view, std::string_view) override { ++effects; }
  void WriteRecord(const MouseInputData&) override { ++effects; }
  void MouseEvent(std::uint32_t, std::int32_t, std::int32_t, std::uint32_t,
                  std::uint32_t) override {
    ++effects;
  }
  // Time moves on with the effects, so that clock-dependent branches are taken.
  UtcTime NowUtc() override {
    return {2026,
            1,
            1,
            0,
            static_cast<std::uint16_t>(effects / 60 % 60),
            static_cast<std::uint16_t>(effects % 60),
            static_cast<std::uint16_t>(effects % 1000)};
  }
  std::uint32_t DoubleClickTime() override { return 500; }
  std::span<std::uint8_t> View(SectionKind kind) override {
    return kind == SectionKind::kPoints ? std::span(points) : std::span(cells);
  }

  std::size_t effects = 0;
  std::vector<std::uint8_t> points = std::vector<std::uint8_t>(kPointSectionSize);
  std::vector<std::uint8_t> cells = std::vector<std::uint8_t>(kRawCellSectionSize);
};

}  // namespace zorvik::testing
