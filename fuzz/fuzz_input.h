// The layout of the decoder fuzz inputs: a block of settings bytes, then a stream cut into
// chunks. Within the settings block numbers are read from its end (as FuzzedDataProvider reads
// them), and zero bytes keep the defaults; the chunk lengths are read from the end of the input
// and the chunks from the front of the stream. fuzz/make_seeds.py writes inputs in this layout.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zorvik::fuzzing {

inline constexpr std::size_t kSettingsBytes = 128;
inline constexpr std::size_t kLongestChunk = 1100;  // beyond the 1024 bytes of one read

struct FuzzInput {
  FuzzInput(const std::uint8_t* bytes, std::size_t size)
      : settings(bytes, std::min(size, kSettingsBytes)),
        stream(bytes + std::min(size, kSettingsBytes), size - std::min(size, kSettingsBytes)) {}
  FuzzedDataProvider settings;
  FuzzedDataProvider stream;

  // Calls `parse` with each chunk of the stream in turn.
  template <typename Parse>
  void ForEachChunk(Parse parse) {
    while (stream.remaining_bytes() > 0) {
      const std::size_t length = stream.ConsumeIntegralInRange<std::size_t>(0, kLongestChunk);
      const std::vector<std::uint8_t> chunk = stream.ConsumeBytes<std::uint8_t>(length);
      parse(chunk);
    }
  }
};

}  // namespace zorvik::fuzzing
