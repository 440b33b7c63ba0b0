// The Touch Device page's scan: 51 ticks of 100 ms with a progress bar from 0 to 50, whatever
// the serial service does, then the list is read again.
#pragma once

#include <cstdint>

namespace zorvik::panel {

class ScanProgress {
 public:
  static constexpr std::uint32_t kTimerId = 100;
  static constexpr std::uint32_t kTickMilliseconds = 100;
  static constexpr std::int32_t kLastPosition = 50;

  enum class Step { kAdvance, kFinish, kIdle };

  void Start() {
    ticks_ = 0;
    scanning_ = true;
  }
  // One timer tick: kAdvance with the new Position(), or kFinish on the tick that finds the
  // counter at its end (the 51st); kIdle when no scan runs.
  Step Tick();

  bool scanning() const { return scanning_; }
  std::int32_t Position() const { return ticks_; }

 private:
  std::int32_t ticks_ = 0;
  bool scanning_ = false;
};

}  // namespace zorvik::panel
