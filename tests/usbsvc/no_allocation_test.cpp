// A long mixed stream is parsed without a single heap allocation.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "tests/allocation_count.h"
#include "tests/usbsvc/null_ports.h"
#include "tests/usbsvc/pipeline_harness.h"
#include "usbsvc/touch_device.h"

namespace zorvik::testing {
namespace {

TEST(NoAllocation, LongMixedStreamAllocatesNothing) {
  std::vector<std::vector<std::uint8_t>> chunks;
  for (int i = 0; i < 200; ++i) {
    const auto f = static_cast<std::int32_t>(i * 37 % 16000);
    chunks.push_back(CellFrame(64, 48, {{f, 8000}, {16000 - f, 4000, 4}, {8000, f}}));
    chunks.push_back(CellFrame(64, 48, {}));
    chunks.push_back({0x81, static_cast<std::uint8_t>(f / 128 % 128), 0x10, 0x40, 0x00});
    chunks.push_back(
        {0x80, 0x00, 0x00, 0x00, 0x00, 0x83, 0x06, 0x31, 0x2e, 0x30, 0x32, 0x82, 0x04, 0xab, 0xa4});
  }
  CountingPorts ports;
  DeviceSettings settings = NewDeviceSettings({1024, 768});
  settings.mapping.XZoom = settings.mapping.YZoom = 10000;
  auto device =
      std::make_unique<TouchDevice>(ports.ports(), 1, Platform::kNt, ScreenSize{1024, 768});
  device->ApplySettings(settings);
  // The transition hook hands out names, not strings it built.
  struct CountingObserver final : TransitionObserver {
    void OnTransition(const StateTransition&) override { ++transitions; }
    std::size_t transitions = 0;
  } observer;
  device->SetTransitionObserver(&observer);

  StartCountingAllocations();
  for (const auto& chunk : chunks)
    device->ParseChunk(chunk);
  EXPECT_EQ(StopCountingAllocations(), 0);
  EXPECT_GT(ports.effects, 2000u);  // the stream did drive the pipeline
  EXPECT_GT(observer.transitions, 800u);
}

}  // namespace
}  // namespace zorvik::testing
