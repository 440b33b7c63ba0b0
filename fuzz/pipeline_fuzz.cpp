// Fuzzes one controller's pipeline: fuzzed settings (any 32-bit values), then a fuzzed stream
// cut into fuzzed chunks. Nothing may crash, hang or read out of bounds.
#include <fuzzer/FuzzedDataProvider.h>

#include <memory>
#include <vector>

#include "tests/usbsvc/null_ports.h"
#include "usbsvc/touch_device.h"

namespace {

std::int32_t Pick(FuzzedDataProvider& data, std::initializer_list<std::int32_t> common) {
  // Mostly plausible values, sometimes anything.
  if (data.ConsumeBool()) return data.ConsumeIntegral<std::int32_t>();
  const auto index = data.ConsumeIntegralInRange<std::size_t>(0, common.size() - 1);
  return *(common.begin() + index);
}

zorvik::DeviceSettings FuzzedSettings(FuzzedDataProvider& data) {
  zorvik::DeviceSettings s = zorvik::NewDeviceSettings({1024, 768});
  s.MouseMode = Pick(data, {0, 1, 2, 3});
  s.ClickArea = Pick(data, {0, 500, 5000});
  s.ClickMode = Pick(data, {0, 1, 2});
  s.ClickRightLeft = Pick(data, {0, 1});
  s.ScreenRotateFlag = Pick(data, {0, 90, 180, 270, 360, 45});
  s.MultiMonSupport = Pick(data, {0, 1});
  s.VirtualWidth = Pick(data, {0, 1024, 2048});
  s.VirtualHeight = Pick(data, {0, 768});
  s.display_index = Pick(data, {0, 1, -1});
  s.monitor = {Pick(data, {0, 1024}), Pick(data, {0}), Pick(data, {1024, 2048, 0}),
               Pick(data, {768, 0})};
  s.mapping = {Pick(data, {0, 10, -10}),
               Pick(data, {0, 10}),
               Pick(data, {10000, 9000, 0}),
               Pick(data, {10000, 12000}),
               {Pick(data, {1, 2}), Pick(data, {0, 1}), Pick(data, {0, -100}), Pick(data, {0, 1}),
                Pick(data, {1, -1}), Pick(data, {0, 50}), Pick(data, {1, 0, 2})}};
  zorvik::MpControlSettings& mp = s.mp;
  for (std::int32_t* field :
       {&mp.MPXLimitStart, &mp.MPXLimitEnd, &mp.MPYLimitStart, &mp.MPYLimitEnd, &mp.MPAllowState,
        &mp.EnableMouseAction, &mp.EnableMPLimit, &mp.MPTouchPressure, &mp.MPTouchVelocity,
        &mp.EnableTouchCorrect, &mp.MPAreaLimitOption, &mp.MPXAllowAreaPercent,
        &mp.MPYAllowAreaPercent, &mp.MPPopupActiveTime}) {
    *field = Pick(data, {0, 1, 3, 100, 1000});
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  zorvik::testing::CountingPorts ports;
  const auto platform = data.ConsumeBool() ? zorvik::Platform::kNt : zorvik::Platform::kOther;
  auto device = std::make_unique<zorvik::TouchDevice>(ports.ports(), 1, platform,
                                                      zorvik::ScreenSize{1024, 768});
  device->ApplySettings(FuzzedSettings(data));
  while (data.remaining_bytes() > 0) {
    const std::size_t length = data.ConsumeIntegralInRange<std::size_t>(0, 1100);
    const std::vector<std::uint8_t> chunk = data.ConsumeBytes<std::uint8_t>(length);
    device->ParseChunk(chunk);
  }
  return 0;
}
