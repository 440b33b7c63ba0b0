// Rate statistics of a published stream, and their JSON line and summary.
#include "tools/common/rate_report.h"

#include <algorithm>
#include <cstdio>

#include "tools/common/json_text.h"

namespace zorvik {
namespace {

double Ms(std::int64_t us) {
  return static_cast<double>(us) / 1000.0;
}

std::string Fixed(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

}  // namespace

RateStats MeasureRate(std::span<const std::int64_t> times_us, std::int64_t window_start_us,
                      std::int64_t window_end_us) {
  RateStats stats;
  stats.frames = times_us.size();
  if (times_us.empty()) {
    stats.longest_silence_ms = Ms(window_end_us - window_start_us);
    return stats;
  }
  std::vector<std::int64_t> gaps;
  gaps.reserve(times_us.size());
  for (std::size_t k = 1; k < times_us.size(); ++k)
    gaps.push_back(times_us[k] - times_us[k - 1]);
  const std::int64_t edges =
      std::max(times_us.front() - window_start_us, window_end_us - times_us.back());
  if (gaps.empty()) {
    stats.longest_silence_ms = Ms(std::max<std::int64_t>(edges, 0));
    return stats;
  }
  std::sort(gaps.begin(), gaps.end());
  const std::size_t count = gaps.size();
  stats.gap_median_ms =
      count % 2 ? Ms(gaps[count / 2]) : (Ms(gaps[count / 2 - 1]) + Ms(gaps[count / 2])) / 2.0;
  // Nearest rank, ceil(0.99 × count), in integers so that 100 gaps give the 99th exactly.
  stats.gap_p99_ms = Ms(gaps[(99 * count + 99) / 100 - 1]);
  stats.gap_max_ms = Ms(gaps.back());
  stats.longest_silence_ms = Ms(std::max(gaps.back(), edges));
  const std::int64_t span = times_us.back() - times_us.front();
  if (span > 0) stats.fps = static_cast<double>(count) * 1e6 / static_cast<double>(span);
  return stats;
}

std::string RateJson(const RateSource& source, const RateStats& stats) {
  return "{\"rate\":{\"source\":" + JsonString(source.name) +
         ",\"event\":" + JsonString(source.event) +
         ",\"present\":" + (source.present ? "true" : "false") +
         ",\"frames\":" + std::to_string(stats.frames) + ",\"fps\":" + Fixed(stats.fps) +
         ",\"gap_ms\":{\"median\":" + Fixed(stats.gap_median_ms) +
         ",\"p99\":" + Fixed(stats.gap_p99_ms) + ",\"max\":" + Fixed(stats.gap_max_ms) +
         "},\"silence_ms\":" + Fixed(stats.longest_silence_ms) + "}}";
}

std::string RateSummary(std::span<const RateSource> sources, std::span<const RateStats> stats) {
  std::string line;
  for (std::size_t k = 0; k < sources.size() && k < stats.size(); ++k) {
    if (!line.empty()) line += "; ";
    line += sources[k].name;
    if (!sources[k].present) {
      line += " absent";
    } else if (stats[k].frames < 2) {
      line += ' ';
      line += std::to_string(stats[k].frames) + " frames, silence " +
              Fixed(stats[k].longest_silence_ms) + " ms";
    } else {
      line += ' ';
      line += Fixed(stats[k].fps) + " fps, gaps median " + Fixed(stats[k].gap_median_ms) +
              " ms p99 " + Fixed(stats[k].gap_p99_ms) + " ms max " + Fixed(stats[k].gap_max_ms) +
              " ms, silence " + Fixed(stats[k].longest_silence_ms) + " ms";
    }
  }
  return line;
}

}  // namespace zorvik
