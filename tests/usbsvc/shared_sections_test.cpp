// Two controllers of one service publish into the same sections from their own reader threads:
// each frame is written under the service's write lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/usbsvc/pipeline_harness.h"
#include "usbsvc/touch_device.h"

namespace zorvik::testing {
namespace {

// The sections and their lock, as one service holds them for all its controllers.
struct ServiceSections {
  std::vector<std::uint8_t> points = std::vector<std::uint8_t>(point_section::kSize);
  std::vector<std::uint8_t> cells = std::vector<std::uint8_t>(raw_cell_section::kSize);
  std::mutex lock;
};

// One controller's ports: everything but the sections is dropped.
class SharingPorts final : public ControllerLink,
                           public DeviceSignals,
                           public DeviceRegistry,
                           public PointerOutput,
                           public Clock,
                           public SharedSections {
 public:
  explicit SharingPorts(ServiceSections& shared) : shared_(shared) {}
  DevicePorts ports() { return {*this, *this, *this, *this, *this, *this}; }

  void Write(std::span<const std::uint8_t>) override {}
  void Set(DeviceSignal) override {}
  void SetText(int, std::string_view, std::string_view) override {}
  void WriteRecord(const MouseInputData&) override {}
  void MouseEvent(std::uint32_t, std::int32_t, std::int32_t, std::uint32_t,
                  std::uint32_t) override {}
  UtcTime NowUtc() override { return {2026, 1, 1, 0, 0, 0, 0}; }
  std::uint32_t DoubleClickTime() override { return 500; }
  std::span<std::uint8_t> View(SectionKind kind) override {
    return kind == SectionKind::kPoints ? std::span(shared_.points) : std::span(shared_.cells);
  }
  std::mutex& WriteLock() override { return shared_.lock; }

 private:
  ServiceSections& shared_;
};

struct Controller {
  Controller(ServiceSections& shared, int number)
      : ports(shared),
        device(std::make_unique<TouchDevice>(ports.ports(), number, Platform::kNt,
                                             ScreenSize{1024, 768})) {
    DeviceSettings settings = NewDeviceSettings({1024, 768});
    settings.mapping.XZoom = settings.mapping.YZoom = 10000;
    settings.mp.EnableMouseAction = 0;  // publication only
    device->ApplySettings(settings);
  }
  SharingPorts ports;
  std::unique_ptr<TouchDevice> device;
};

// Controller 1 sees two fingers on the left half, controller 2 one finger on the right half, and
// both publish frame after frame. A reader that holds the write lock sees the section stand
// still: no controller writes into it meanwhile, so what it reads is one controller's frame.
TEST(SharedSections, NoControllerWritesWhileTheLockIsHeld) {
  ServiceSections shared;
  Controller left(shared, 1);
  Controller right(shared, 2);
  const auto two_left = CellFrame(64, 48, {{2000, 4000}, {6000, 12000}});
  const auto one_right = CellFrame(64, 48, {{14000, 8000}});
  std::atomic<bool> stop{false};
  std::atomic<int> fed{0};
  const auto feed = [&](TouchDevice& device, const std::vector<std::uint8_t>& frame) {
    while (!stop) {
      device.ParseChunk(frame);
      ++fed;
    }
  };
  std::thread first(feed, std::ref(*left.device), std::cref(two_left));
  std::thread second(feed, std::ref(*right.device), std::cref(one_right));

  int changed = 0;
  for (int round = 0; round < 5; ++round) {
    {
      std::lock_guard lock(shared.lock);
      const std::vector<std::uint8_t> points = shared.points;
      const std::vector<std::uint8_t> cells = shared.cells;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      if (points != shared.points || cells != shared.cells) ++changed;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  stop = true;
  first.join();
  second.join();
  EXPECT_GT(fed.load(), 10);  // both kept publishing around the reads
  EXPECT_EQ(changed, 0) << "rounds in which a controller wrote under the reader's lock";
}

}  // namespace
}  // namespace zorvik::testing
