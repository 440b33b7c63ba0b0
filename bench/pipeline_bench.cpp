// Throughput of the USB touch pipeline: single-touch stream parsing, and the time per cell frame
// of a 256 × 144-cell sensor with 1 to 10 fingers.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "tests/usbsvc/null_ports.h"
#include "tests/usbsvc/pipeline_harness.h"
#include "usbsvc/touch_device.h"

namespace {

using zorvik::testing::CountingPorts;
using zorvik::testing::Finger;

std::unique_ptr<zorvik::TouchDevice> MakeDevice(CountingPorts& ports) {
  auto device = std::make_unique<zorvik::TouchDevice>(ports.ports(), 1, zorvik::Platform::kNt,
                                                      zorvik::ScreenSize{1920, 1080});
  zorvik::DeviceSettings settings = device->settings();
  settings.mapping.XZoom = settings.mapping.YZoom = 10000;
  settings.MouseMode = 0;
  device->ApplySettings(settings);
  return device;
}

// Chunks of 1000 bytes of a finger dragged across the sensor, one 5-byte frame per report.
void BM_SingleTouchStream(benchmark::State& state) {
  std::vector<std::uint8_t> stream;
  for (int i = 0; stream.size() < 1000 * 1000; ++i) {
    const int x = (i * 7) % 16384;
    const int y = (i * 3) % 16384;
    stream.insert(stream.end(),
                  {0x81, static_cast<std::uint8_t>(x / 128), static_cast<std::uint8_t>(x % 128),
                   static_cast<std::uint8_t>(y / 128), static_cast<std::uint8_t>(y % 128)});
  }
  CountingPorts ports;
  auto device = MakeDevice(ports);
  for (auto _ : state) {
    for (std::size_t at = 0; at < stream.size(); at += 1000) {
      device->ParseChunk(
          std::span(stream).subspan(at, std::min<std::size_t>(1000, stream.size() - at)));
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_SingleTouchStream)->Unit(benchmark::kMillisecond);

// One cell frame per iteration; fingers spread over the sensor and moving a little each frame,
// so that every frame after the first is a tracked "next frame".
void BM_CellFrame(benchmark::State& state) {
  const auto fingers = static_cast<int>(state.range(0));
  std::vector<std::vector<std::uint8_t>> frames;
  for (int step = 0; step < 64; ++step) {
    std::vector<Finger> touch;
    for (int f = 0; f < fingers; ++f) {
      touch.push_back({1000 + f * 1400 + step * 4, 1500 + f * 1300 + step * 3, 4});
    }
    frames.push_back(zorvik::testing::CellFrame(256, 144, touch));
  }
  CountingPorts ports;
  auto device = MakeDevice(ports);
  std::size_t i = 0;
  for (auto _ : state) {
    device->ParseChunk(frames[i++ % frames.size()]);
  }
  benchmark::DoNotOptimize(ports.effects);
}
BENCHMARK(BM_CellFrame)->Arg(1)->Arg(2)->Arg(5)->Arg(10)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
