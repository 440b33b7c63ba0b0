// Two serial devices publishing into the one shared section from their own threads, while a
// reader takes the section's lock between their writes: every state it sees must be one
// device's whole frame.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "serialsvc/serial_protocol.h"

namespace zorvik {
namespace {

struct SharedSection {
  std::array<std::uint8_t, kSerialPointFrameSize> bytes{};
  std::mutex lock;
};

class SectionPorts final : public SerialDevicePorts, public PointerOutput {
 public:
  explicit SectionPorts(SharedSection& shared) : shared_(shared) {}
  void Set(SerialSignal) override {}
  PointerOutput& pointer() override { return *this; }
  std::span<std::uint8_t> Section() override { return shared_.bytes; }
  std::mutex& SectionLock() override { return shared_.lock; }
  void WriteRecord(const MouseInputData&) override {}
  void MouseEvent(std::uint32_t, std::int32_t, std::int32_t, std::uint32_t,
                  std::uint32_t) override {}

 private:
  SharedSection& shared_;
};

// A touch frame with one shadow record {xa, xb, ya, yb} per finger, as the controller sends it.
std::vector<std::uint8_t> TouchFrame(std::uint8_t header,
                                     const std::vector<std::array<int, 4>>& fingers) {
  const auto count = static_cast<int>(fingers.size());
  std::vector<std::uint8_t> bytes = {header, 0, 0, 0, 0};
  for (int axis = 0; axis < 2; ++axis) {
    bytes.push_back(static_cast<std::uint8_t>(count / 128));
    bytes.push_back(static_cast<std::uint8_t>(count % 128));
  }
  for (const auto& finger : fingers) {
    for (const int v : finger) {
      bytes.push_back(static_cast<std::uint8_t>(v / 128));
      bytes.push_back(static_cast<std::uint8_t>(v % 128));
    }
  }
  return bytes;
}

// A device and what it may ever publish: its fingers lie on one half of the 1024-pixel-wide
// screen, and its counts are the shadow count (written first) and the number of pairs.
struct Device {
  SectionPorts ports;
  SerialTouchDecoder decoder;
  std::vector<std::uint8_t> touch;
  std::vector<std::uint8_t> lift = TouchFrame(0x80, {});
  bool left_half;
  std::set<std::int32_t> counts;

  Device(SharedSection& shared, std::vector<std::array<int, 4>> fingers, bool left,
         std::set<std::int32_t> allowed)
      : ports(shared),
        decoder(ports, Platform::kNt, {1024, 768}),
        touch(TouchFrame(0x81, fingers)),
        left_half(left),
        counts(std::move(allowed)) {}

  void Run(int frames) {
    for (int k = 1; k <= frames; ++k)
      decoder.Parse(k % 8 == 0 ? lift : touch);
  }
};

std::int32_t Int(const std::uint8_t* at) {
  std::int32_t value = 0;
  std::memcpy(&value, at, 4);
  return value;
}

// Whether the section holds a whole frame of `device`; records beyond the count do not matter.
bool WholeFrameOf(const Device& device, const std::array<std::uint8_t, kSerialPointFrameSize>& s) {
  const std::int32_t count = Int(s.data() + 4);
  if (!device.counts.contains(count)) return false;
  for (std::int32_t k = 0; k < count; ++k) {
    std::int16_t x1 = 0;
    std::memcpy(&x1, s.data() + 8 + sizeof(SerialPointRecord) * static_cast<std::size_t>(k) + 2, 2);
    if ((x1 < 512) != device.left_half) return false;
  }
  return true;
}

TEST(SerialSectionPublishing, TwoDevicesNeverMixTheirFrames) {
  constexpr int kFrames = 100000;
  SharedSection shared;
  // One finger on the left half; two fingers on the right half (two shadows per axis give four
  // candidate points).
  Device left(shared, {{2048, 2064, 4096, 4112}}, true, {0, 1});
  Device right(shared, {{12288, 12304, 4096, 4112}, {14336, 14352, 8192, 8208}}, false, {0, 2, 4});
  // Each device publishes alone once, so that neither starts from empty records.
  left.Run(2);
  right.Run(2);

  // The three threads start together, so that the devices' writes overlap.
  std::atomic<int> waiting{3};
  const auto start_together = [&] {
    --waiting;
    while (waiting > 0)
      std::this_thread::yield();
  };
  std::atomic<int> running{2};
  int mixed = 0;
  int seen = 0;
  std::thread reader([&] {
    start_together();
    while (running > 0) {
      std::array<std::uint8_t, kSerialPointFrameSize> copy;
      {
        std::lock_guard lock(shared.lock);
        copy = shared.bytes;
      }
      ++seen;
      if (Int(copy.data() + 4) != 0 && !WholeFrameOf(left, copy) && !WholeFrameOf(right, copy))
        ++mixed;
    }
  });
  std::thread first([&] {
    start_together();
    left.Run(kFrames);
    --running;
  });
  std::thread second([&] {
    start_together();
    right.Run(kFrames);
    --running;
  });
  first.join();
  second.join();
  reader.join();
  EXPECT_GT(seen, 0);
  EXPECT_EQ(mixed, 0) << "of " << seen << " states seen between the devices' writes";
}

}  // namespace
}  // namespace zorvik
