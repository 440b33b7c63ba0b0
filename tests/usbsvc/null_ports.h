// Ports that only count effects and fold them into a digest: for allocation checks, fuzzing and
// benchmarks, where the cost and the allocations of recording would hide the pipeline's own.
#pragma once

#include <algorithm>
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

  void Write(std::span<const std::uint8_t> bytes) override { Effect(bytes.size(), 1); }
  void Set(DeviceSignal signal) override { Effect(static_cast<std::uint64_t>(signal), 2); }
  void SetText(int number, std::string_view name, std::string_view text) override {
    Effect(static_cast<std::uint64_t>(number) ^ (name.size() << 16) ^ (text.size() << 32), 3);
  }
  void WriteRecord(const MouseInputData& record) override {
    std::uint64_t value = 0;
    for (const std::uint8_t byte : record)
      value = value * 131 + byte;
    Effect(value, 4);
  }
  void MouseEvent(std::uint32_t flags, std::int32_t x, std::int32_t y, std::uint32_t,
                  std::uint32_t) override {
    Effect(flags ^ (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 16) ^
               (static_cast<std::uint64_t>(static_cast<std::uint32_t>(y)) << 40),
           5);
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
    handed_out_ = true;
    return kind == SectionKind::kPoints ? std::span(points) : std::span(cells);
  }

  // Back to the start: no effects, empty sections (cleared only when they were handed out).
  void Reset() {
    effects = 0;
    digest = kDigestSeed;
    if (!handed_out_) return;
    std::fill(points.begin(), points.end(), std::uint8_t{0});
    std::fill(cells.begin(), cells.end(), std::uint8_t{0});
    handed_out_ = false;
  }

  std::size_t effects = 0;
  // FNV-1a over each effect's kind and values, in order: equal digests, equal effects.
  static constexpr std::uint64_t kDigestSeed = 0xcbf29ce484222325ull;
  std::uint64_t digest = kDigestSeed;
  std::vector<std::uint8_t> points = std::vector<std::uint8_t>(kPointSectionSize);
  std::vector<std::uint8_t> cells = std::vector<std::uint8_t>(kRawCellSectionSize);

 private:
  bool handed_out_ = false;

  void Effect(std::uint64_t value, std::uint64_t kind) {
    ++effects;
    for (const std::uint64_t word : {kind, value}) {
      digest = (digest ^ word) * 0x100000001b3ull;
    }
  }
};

}  // namespace zorvik::testing
