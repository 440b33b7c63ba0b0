// Failures met during one of Serlink's rebuilds, kept to be shown once the rebuild is over: a
// message box waits for a click, and a rebuild must not wait for one.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstddef>

namespace zorvik {

class FailureReports {
 public:
  // Enough for every step of a rebuild of all 100 ports; anything beyond is counted only.
  static constexpr std::size_t kCapacity = 1024;

  // Keeps the failure when `code` is not 0.
  void AddIfFailed(DWORD code, const char* caption);
  // The system's text for each code, in a box with its caption, in the order they were met;
  // no further box once `go_on` is false (the service is ending).
  void Show(const std::atomic<bool>& go_on) const;

  std::size_t size() const { return count_; }
  std::size_t dropped() const { return dropped_; }

 private:
  struct Report {
    const char* caption = nullptr;  // one of the service's literal captions
    DWORD code = 0;
  };
  std::array<Report, kCapacity> reports_{};
  std::size_t count_ = 0;
  std::size_t dropped_ = 0;
};

}  // namespace zorvik
