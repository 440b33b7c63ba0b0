// Time per serial touch frame: parsing, decoding and pairing 10 X and 10 Y shadows (ten
// fingers), the first frame of a touch (all pairs) and the tracked frames after it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

#include "serialsvc/serial_protocol.h"

namespace {

using namespace zorvik;

class BenchPorts final : public SerialDevicePorts, public PointerOutput {
 public:
  void Set(SerialSignal) override { ++signals; }
  PointerOutput& pointer() override { return *this; }
  std::span<std::uint8_t> Section() override { return section; }
  std::mutex& SectionLock() override { return lock; }
  void WriteRecord(const MouseInputData&) override {}
  void MouseEvent(std::uint32_t, std::int32_t, std::int32_t, std::uint32_t,
                  std::uint32_t) override {}

  std::array<std::uint8_t, kSerialPointFrameSize> section{};
  std::mutex lock;
  int signals = 0;
};

void Put14(std::vector<std::uint8_t>& out, int value) {
  out.push_back(static_cast<std::uint8_t>(value / 128));
  out.push_back(static_cast<std::uint8_t>(value % 128));
}

// A touched frame with `fingers` X and Y shadows, moved by `step`.
std::vector<std::uint8_t> TouchFrame(int fingers, int step) {
  std::vector<std::uint8_t> frame = {0x81, 0, 0, 0, 0};
  Put14(frame, fingers);
  Put14(frame, fingers);
  const int x_pitch = std::min(1500, 14000 / fingers);  // all shadows on the sensor
  const int y_pitch = std::min(1400, 14000 / fingers);
  for (int f = 0; f < fingers; ++f) {
    const int x = 800 + f * x_pitch + step * 8;
    const int y = 600 + f * y_pitch + step * 6;
    for (const int value : {x, x + 16, y, y + 16})
      Put14(frame, value);
  }
  return frame;
}

void BM_SerialFrame(benchmark::State& state) {
  const auto fingers = static_cast<int>(state.range(0));
  const bool tracked = state.range(1) != 0;
  std::vector<std::vector<std::uint8_t>> frames;
  for (int step = 0; step < 64; ++step)
    frames.push_back(TouchFrame(fingers, step));
  const std::vector<std::uint8_t> release = {0x80, 0, 0, 0, 0, 0, 0, 0, 0};
  BenchPorts ports;
  SerialTouchDecoder decoder(ports, Platform::kNt, {1920, 1080});
  std::size_t i = 0;
  for (auto _ : state) {
    if (!tracked) decoder.Parse(release);  // every frame is then a first frame
    decoder.Parse(frames[i++ % frames.size()]);
  }
  benchmark::DoNotOptimize(ports.section);
}
BENCHMARK(BM_SerialFrame)
    ->ArgNames({"fingers", "tracked"})
    ->Args({1, 1})
    ->Args({10, 0})
    ->Args({10, 1})
    ->Args({100, 1})  // the most a frame can hold: 100 shadows per axis, 100 tracked points
    ->Unit(benchmark::kMicrosecond);

}  // namespace
