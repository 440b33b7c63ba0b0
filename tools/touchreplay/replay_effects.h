// The replay tool's side of every port of a controller's pipeline: each effect becomes one JSON
// line, in the order it happens. Also the settable clock and the in-memory sections.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/settings_store.h"
#include "tools/touchreplay/replay_script.h"
#include "usbsvc/touch_ports.h"

namespace zorvik {

class ReplayEffects final : public ControllerLink,
                            public DeviceSignals,
                            public DeviceRegistry,
                            public PointerOutput,
                            public Clock,
                            public SharedSections {
 public:
  using LineSink = std::function<void(const std::string&)>;

  // Registry texts go to `store` as well as to the output.
  ReplayEffects(SettingsStore& store, LineSink sink, std::uint32_t double_click_time);

  DevicePorts ports() { return {*this, *this, *this, *this, *this, *this}; }

  // With `on`, every raw cell line carries the frame's levels as well.
  void ShowCellLevels(bool on) { cell_levels_ = on; }

  // Applies a clock directive (@time, @advance); false for any other line.
  bool ApplyClock(const ScriptLine& line);

  void Write(std::span<const std::uint8_t> bytes) override;
  void Set(DeviceSignal signal) override;
  void SetText(int device_number, std::string_view value_name, std::string_view text) override;
  void WriteRecord(const MouseInputData& record) override;
  void MouseEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy, std::uint32_t data,
                  std::uint32_t extra) override;
  UtcTime NowUtc() override { return now_; }
  std::uint32_t DoubleClickTime() override { return double_click_time_; }
  std::span<std::uint8_t> View(SectionKind kind) override;
  void Published(SectionKind kind) override;

 private:
  void PrintPoints();
  void PrintCells();

  SettingsStore& store_;
  LineSink sink_;
  std::uint32_t double_click_time_;
  UtcTime now_{2026, 1, 1, 0, 0, 0, 0};
  std::vector<std::uint8_t> point_section_;
  std::vector<std::uint8_t> raw_cell_section_;
  bool cell_levels_ = false;
};

}  // namespace zorvik
