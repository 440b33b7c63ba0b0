// Fuzzes the serial protocol decoder: fuzzed settings, then a fuzzed stream in fuzzed reads.
#include <mutex>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "serialsvc/serial_protocol.h"

namespace {

class NullSerialPorts final : public zorvik::SerialDevicePorts, public zorvik::PointerOutput {
 public:
  void Set(zorvik::SerialSignal) override {}
  zorvik::PointerOutput& pointer() override { return *this; }
  std::span<std::uint8_t> Section() override { return section; }
  std::mutex& SectionLock() override { return lock; }
  void WriteRecord(const zorvik::MouseInputData&) override {}
  void MouseEvent(std::uint32_t, std::int32_t, std::int32_t, std::uint32_t,
                  std::uint32_t) override {}

  std::vector<std::uint8_t> section = std::vector<std::uint8_t>(zorvik::kSerialPointFrameSize);
  std::mutex lock;
};

// Zero settings bytes keep the decoder's defaults.
void FuzzSettings(FuzzedDataProvider& data, zorvik::DeviceSettings& settings) {
  if (data.ConsumeBool()) settings.ClickMode = data.ConsumeIntegralInRange<std::int32_t>(0, 2);
  if (data.ConsumeBool()) settings.ClickRightLeft = 1;
  if (data.ConsumeBool()) {
    settings.monitor = {data.ConsumeIntegral<std::int32_t>(), data.ConsumeIntegral<std::int32_t>(),
                        data.ConsumeIntegral<std::int32_t>(), data.ConsumeIntegral<std::int32_t>()};
  }
  zorvik::CalibrationMatrix& m = settings.mapping.matrix;
  for (std::int32_t* field : {&m.An, &m.Bn, &m.Cn, &m.Dn, &m.En, &m.Fn, &m.Divider}) {
    if (!data.ConsumeBool()) continue;
    *field = data.ConsumeBool() ? data.ConsumeIntegral<std::int32_t>()
                                : data.ConsumeIntegralInRange<std::int32_t>(-2, 2);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  zorvik::fuzzing::FuzzInput input(bytes, size);
  static auto* ports = new NullSerialPorts;  // kept for the whole run; the decoder is not
  zorvik::SerialTouchDecoder decoder(*ports, zorvik::Platform::kNt, {1024, 768});
  zorvik::DeviceSettings settings = decoder.settings();
  FuzzSettings(input.settings, settings);
  decoder.ApplySettings(settings);
  input.ForEachChunk([&](const std::vector<std::uint8_t>& chunk) { decoder.Parse(chunk); });
  return 0;
}
