// Rate statistics as a support engineer reads them: frames per second, gap spread, silences.
#include <gtest/gtest.h>

#include <vector>

#include "tools/common/rate_report.h"

namespace zorvik {
namespace {

// Frames at `gaps_us` intervals starting at `first_us`.
std::vector<std::int64_t> Frames(std::int64_t first_us, const std::vector<std::int64_t>& gaps_us) {
  std::vector<std::int64_t> times{first_us};
  for (const std::int64_t gap : gaps_us)
    times.push_back(times.back() + gap);
  return times;
}

TEST(RateReport, SteadyStreamGivesItsRateAndEqualGaps) {
  const auto times = Frames(2000, std::vector<std::int64_t>(600, 5000));  // 200 Hz for 3 s
  const RateStats stats = MeasureRate(times, 0, 3'004'000);
  EXPECT_EQ(stats.frames, 601u);
  EXPECT_DOUBLE_EQ(stats.fps, 200.0);
  EXPECT_DOUBLE_EQ(stats.gap_median_ms, 5.0);
  EXPECT_DOUBLE_EQ(stats.gap_p99_ms, 5.0);
  EXPECT_DOUBLE_EQ(stats.gap_max_ms, 5.0);
  EXPECT_DOUBLE_EQ(stats.longest_silence_ms, 5.0);  // both window ends are closer
}

TEST(RateReport, PercentileAndMedianUseTheRankedGaps) {
  // 100 gaps: 98 of 4 ms, one of 20 ms, one of 50 ms. The 99th gap by rank is 20 ms.
  std::vector<std::int64_t> gaps(98, 4000);
  gaps.insert(gaps.begin() + 10, 50000);
  gaps.insert(gaps.begin() + 60, 20000);
  const auto times = Frames(0, gaps);
  RateStats stats = MeasureRate(times, 0, times.back());
  EXPECT_DOUBLE_EQ(stats.gap_median_ms, 4.0);
  EXPECT_DOUBLE_EQ(stats.gap_p99_ms, 20.0);
  EXPECT_DOUBLE_EQ(stats.gap_max_ms, 50.0);
  EXPECT_NEAR(stats.fps, 100.0 / 0.462, 1e-9);

  // An even count of gaps: the median lies between the middle two.
  stats = MeasureRate(Frames(0, {1000, 3000, 5000, 100000}), 0, 109000);
  EXPECT_DOUBLE_EQ(stats.gap_median_ms, 4.0);
  EXPECT_DOUBLE_EQ(stats.gap_p99_ms, 100.0);  // a single stall is the top percentile
}

TEST(RateReport, SilenceCountsTheWindowEndsAndEmptyStreams) {
  // A stream that stops after half a second of a two-second window.
  const auto times = Frames(0, std::vector<std::int64_t>(100, 5000));
  RateStats stats = MeasureRate(times, 0, 2'000'000);
  EXPECT_DOUBLE_EQ(stats.gap_max_ms, 5.0);
  EXPECT_DOUBLE_EQ(stats.longest_silence_ms, 1500.0);
  // ... or starts late.
  stats = MeasureRate(Frames(700'000, {5000, 5000}), 0, 710'000);
  EXPECT_DOUBLE_EQ(stats.longest_silence_ms, 700.0);

  stats = MeasureRate({}, 0, 3'000'000);
  EXPECT_EQ(stats.frames, 0u);
  EXPECT_EQ(stats.fps, 0.0);
  EXPECT_DOUBLE_EQ(stats.longest_silence_ms, 3000.0);

  const std::int64_t one[] = {1'000'000};
  stats = MeasureRate(one, 0, 3'000'000);
  EXPECT_EQ(stats.frames, 1u);
  EXPECT_EQ(stats.fps, 0.0);  // one frame has no rate
  EXPECT_EQ(stats.gap_max_ms, 0.0);
  EXPECT_DOUBLE_EQ(stats.longest_silence_ms, 2000.0);
}

TEST(RateReport, JsonLineAndSummaryNameEverySource) {
  std::vector<RateSource> sources(2);
  sources[0] = {"usb-points", "Global\\E", true, Frames(0, {5000, 5000, 6000})};
  sources[1] = {"serial-points", "S", false, {}};
  std::vector<RateStats> stats;
  for (const RateSource& source : sources)
    stats.push_back(MeasureRate(source.times_us, 0, 20000));
  EXPECT_EQ(RateJson(sources[0], stats[0]),
            R"({"rate":{"source":"usb-points","event":"Global\\E","present":true,"frames":4,)"
            R"("fps":187.50,"gap_ms":{"median":5.00,"p99":6.00,"max":6.00},"silence_ms":6.00}})");
  EXPECT_EQ(RateSummary(sources, stats),
            "usb-points 187.50 fps, gaps median 5.00 ms p99 6.00 ms max 6.00 ms, silence 6.00 ms; "
            "serial-points absent");
}

}  // namespace
}  // namespace zorvik
