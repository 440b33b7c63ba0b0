// Decoding of a pipeline fuzz input: fuzzed settings (any 32-bit values), then a fuzzed stream
// cut into fuzzed chunks.
#include "fuzz/pipeline_input.h"

#include "fuzz/fuzz_input.h"

namespace zorvik::fuzzing {
namespace {

// Mostly plausible values, sometimes anything; a zero byte picks the first, usual, value.
std::int32_t Pick(FuzzedDataProvider& data, std::initializer_list<std::int32_t> common) {
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

void PipelineHarness::Run(const std::uint8_t* bytes, std::size_t size) {
  FuzzInput input(bytes, size);
  ports_.Reset();
  const auto platform = input.settings.ConsumeBool() ? Platform::kOther : Platform::kNt;
  // Built in place each time: the start state, without the allocation of two candidate grids.
  device_.emplace(ports_.ports(), 1, platform, ScreenSize{1024, 768});
  device_->ApplySettings(FuzzedSettings(input.settings));
  input.ForEachChunk(
      [this](const std::vector<std::uint8_t>& chunk) { device_->ParseChunk(chunk); });
}

}  // namespace zorvik::fuzzing
