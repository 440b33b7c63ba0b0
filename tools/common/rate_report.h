// Frame rate and timing of one published stream (a service's point or raw-cell event), from the
// moments its signals were seen; touchctl's `rate` command measures, this part does the sums.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

struct RateStats {
  std::size_t frames = 0;
  double fps = 0;            // (frames − 1) over the time from the first frame to the last
  double gap_median_ms = 0;  // gaps between consecutive frames; all 0 with fewer than 2 frames
  double gap_p99_ms = 0;     // nearest rank: the smallest gap that 99 % of the gaps do not exceed
  double gap_max_ms = 0;
  // The longest time without a frame inside the window, its two ends included: a stream that
  // stops half way shows it here even when its gaps look regular.
  double longest_silence_ms = 0;
};

// `times_us`: the moments of the frames, ascending, inside [window_start_us, window_end_us].
RateStats MeasureRate(std::span<const std::int64_t> times_us, std::int64_t window_start_us,
                      std::int64_t window_end_us);

// One measured stream: what it is called in the output and the event it was counted on.
struct RateSource {
  std::string name;      // "usb-points", "usb-cells", "serial-points"
  std::string event;     // the kernel event's name
  bool present = false;  // false: the event did not exist (the service is not running)
  std::vector<std::int64_t> times_us;
};

// {"rate":{"source":..,"event":..,"present":..,"frames":..,"fps":..,"gap_ms":{"median":..,
// "p99":..,"max":..},"silence_ms":..}}, milliseconds with two decimals.
std::string RateJson(const RateSource& source, const RateStats& stats);
// "usb-points 200.0 fps, gaps median 5.00 ms p99 5.40 ms max 6.10 ms, silence 6.10 ms; ..."
// over every source, absent ones named as such.
std::string RateSummary(std::span<const RateSource> sources, std::span<const RateStats> stats);

}  // namespace zorvik
