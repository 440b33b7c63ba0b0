// Capture files in the replay language.
#include "common/capture/capture_text.h"

#include <cstdio>

namespace zorvik {

std::string CaptureText::TimeText(const UtcTime& at) {
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", at.year, at.month, at.day,
                at.hour, at.minute, at.second, at.milliseconds);
  return text;
}

std::string CaptureText::Header(std::string_view source, const UtcTime& start) {
  last_ms_ = ToEpochMilliseconds(start);
  return "# " + std::string(source) + " capture: one read chunk per line\n@time " +
         TimeText(start) + "\n";
}

void CaptureText::AppendChunk(std::string& out, const UtcTime& at,
                              std::span<const std::uint8_t> bytes) {
  const std::int64_t ms = ToEpochMilliseconds(at);
  if (ms < last_ms_) {
    out += "@time " + TimeText(at) + "\n";
  } else if (ms > last_ms_) {
    out += "@advance " + std::to_string(ms - last_ms_) + "\n";
  }
  last_ms_ = ms;
  static constexpr char kDigits[] = "0123456789abcdef";
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    if (k != 0) out += ' ';
    out += kDigits[bytes[k] >> 4];
    out += kDigits[bytes[k] & 0x0F];
  }
  out += '\n';
}

std::string CaptureText::Trailer(const CaptureDrops& drops, std::string_view end_reason) {
  std::string out;
  if (drops.chunks != 0) {
    out += "# dropped " + std::to_string(drops.chunks) + " chunks (" + std::to_string(drops.bytes) +
           " bytes): the file did not keep up with the reads\n";
  }
  out += "# capture ended: " + std::string(end_reason) + "\n";
  return out;
}

}  // namespace zorvik
