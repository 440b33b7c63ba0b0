// A UTC time with milliseconds, as the Windows SYSTEMTIME holds it, and the clock port.
#pragma once

#include <cstdint>

namespace zorvik {

struct UtcTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t milliseconds = 0;

  bool operator==(const UtcTime&) const = default;
};

// Same year, month, day, hour and minute.
inline bool SameMinute(const UtcTime& a, const UtcTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute;
}

inline bool SameSecond(const UtcTime& a, const UtcTime& b) {
  return SameMinute(a, b) && a.second == b.second;
}

class Clock {
 public:
  virtual ~Clock() = default;
  virtual UtcTime NowUtc() = 0;
  // The system double-click time in milliseconds (GetDoubleClickTime).
  virtual std::uint32_t DoubleClickTime() = 0;
};

}  // namespace zorvik

namespace zorvik {

// Milliseconds since 1970-01-01T00:00:00.000Z, and back (proleptic Gregorian calendar).
std::int64_t ToEpochMilliseconds(const UtcTime& time);
UtcTime FromEpochMilliseconds(std::int64_t milliseconds);

}  // namespace zorvik
