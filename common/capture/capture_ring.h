// The hand-over between a reader thread and a capture's writer: a fixed-size ring of read chunks,
// each with the UTC time it was read at. The reader never waits for the writer beyond a copy:
// a chunk that finds no room is dropped and counted.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

#include "common/utc_time.h"

namespace zorvik {

struct CaptureDrops {
  std::uint64_t chunks = 0;
  std::uint64_t bytes = 0;
};

class CaptureRing {
 public:
  static constexpr std::size_t kCapacity = 256 * 1024;
  static constexpr std::size_t kMaxChunk = 4096;  // longer chunks are recorded cut to this

  // Copies the chunk in; false (and counted as dropped) when there is no room.
  bool Push(const UtcTime& at, std::span<const std::uint8_t> chunk);

  // Takes every chunk in order: `take(at, bytes)`. The chunks are copied out under the lock
  // and handed over outside it, so that `take` may be slow.
  template <typename Take>
  void Drain(Take&& take) {
    std::size_t taken = 0;
    {
      std::lock_guard lock(lock_);
      taken = used_;
      for (std::size_t k = 0; k < taken; ++k)
        out_[k] = At(head_ + k);
      head_ = (head_ + taken) % kCapacity;
      used_ = 0;
    }
    for (std::size_t at = 0; at < taken;) {
      const Entry entry = ReadEntry(at);
      take(entry.time,
           std::span<const std::uint8_t>(out_.data() + at + kEntryHeader, entry.length));
      at += kEntryHeader + entry.length;
    }
  }

  CaptureDrops drops() const;

 private:
  struct Entry {
    UtcTime time;
    std::uint16_t length = 0;
  };
  static constexpr std::size_t kEntryHeader = sizeof(UtcTime) + sizeof(std::uint16_t);

  std::uint8_t& At(std::size_t index) { return ring_[index % kCapacity]; }
  Entry ReadEntry(std::size_t at) const;

  mutable std::mutex lock_;
  std::array<std::uint8_t, kCapacity> ring_{};
  std::array<std::uint8_t, kCapacity> out_{};  // the writer's copy; only the writer touches it
  std::size_t head_ = 0;
  std::size_t used_ = 0;
  CaptureDrops drops_;
};

}  // namespace zorvik
