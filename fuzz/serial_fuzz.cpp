// Fuzzes the serial protocol decoder: fuzzed settings, then a fuzzed stream in fuzzed reads.
#include <fuzzer/FuzzedDataProvider.h>

#include <mutex>
#include <vector>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  NullSerialPorts ports;
  zorvik::SerialTouchDecoder decoder(ports, zorvik::Platform::kNt, {1024, 768});
  zorvik::DeviceSettings settings = decoder.settings();
  settings.ClickMode = data.ConsumeIntegralInRange<std::int32_t>(0, 2);
  settings.ClickRightLeft = data.ConsumeBool();
  settings.monitor = {data.ConsumeIntegral<std::int32_t>(), data.ConsumeIntegral<std::int32_t>(),
                      data.ConsumeIntegral<std::int32_t>(), data.ConsumeIntegral<std::int32_t>()};
  zorvik::CalibrationMatrix& m = settings.mapping.matrix;
  for (std::int32_t* field : {&m.An, &m.Bn, &m.Cn, &m.Dn, &m.En, &m.Fn, &m.Divider}) {
    *field = data.ConsumeBool() ? data.ConsumeIntegral<std::int32_t>()
                                : data.ConsumeIntegralInRange<std::int32_t>(-2, 2);
  }
  decoder.ApplySettings(settings);
  while (data.remaining_bytes() > 0) {
    const std::vector<std::uint8_t> chunk =
        data.ConsumeBytes<std::uint8_t>(data.ConsumeIntegralInRange<std::size_t>(0, 1100));
    decoder.Parse(chunk);
  }
  return 0;
}
