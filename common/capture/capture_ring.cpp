// The capture hand-over ring.
#include "common/capture/capture_ring.h"

#include <algorithm>
#include <cstring>

namespace zorvik {

bool CaptureRing::Push(const UtcTime& at, std::span<const std::uint8_t> chunk) {
  const std::size_t length = std::min(chunk.size(), kMaxChunk);
  const std::size_t needed = kEntryHeader + length;
  std::lock_guard lock(lock_);
  drops_.bytes += chunk.size() - length;  // a chunk cut to kMaxChunk loses its end
  if (kCapacity - used_ < needed) {
    ++drops_.chunks;
    drops_.bytes += length;
    return false;
  }
  std::uint8_t header[kEntryHeader];
  std::memcpy(header, &at, sizeof at);
  const auto stored = static_cast<std::uint16_t>(length);
  std::memcpy(header + sizeof at, &stored, sizeof stored);
  const std::size_t tail = head_ + used_;
  for (std::size_t k = 0; k < kEntryHeader; ++k)
    At(tail + k) = header[k];
  for (std::size_t k = 0; k < length; ++k)
    At(tail + kEntryHeader + k) = chunk[k];
  used_ += needed;
  return true;
}

CaptureRing::Entry CaptureRing::ReadEntry(std::size_t at) const {
  Entry entry;
  std::memcpy(&entry.time, out_.data() + at, sizeof entry.time);
  std::memcpy(&entry.length, out_.data() + at + sizeof entry.time, sizeof entry.length);
  return entry;
}

CaptureDrops CaptureRing::drops() const {
  std::lock_guard lock(lock_);
  return drops_;
}

}  // namespace zorvik
