// Calendar arithmetic for UTC times (the days-from-civil conversion).
#include "common/utc_time.h"

namespace zorvik {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

std::int64_t ToEpochMilliseconds(const UtcTime& t) {
  const std::int64_t days = DaysFromCivil(t.year, t.month, t.day);
  return days * kMsPerDay + ((t.hour * 60 + t.minute) * 60 + t.second) * 1000LL + t.milliseconds;
}

UtcTime FromEpochMilliseconds(std::int64_t ms) {
  std::int64_t days = ms / kMsPerDay;
  std::int64_t rest = ms % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --days;
  }
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
  UtcTime t;
  t.year = static_cast<std::uint16_t>(y);
  t.month = static_cast<std::uint16_t>(m);
  t.day = static_cast<std::uint16_t>(d);
  t.hour = static_cast<std::uint16_t>(rest / 3'600'000);
  t.minute = static_cast<std::uint16_t>(rest / 60'000 % 60);
  t.second = static_cast<std::uint16_t>(rest / 1000 % 60);
  t.milliseconds = static_cast<std::uint16_t>(rest % 1000);
  return t;
}

}  // namespace zorvik
