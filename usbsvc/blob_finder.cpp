// Blob finding on one axis of a cell frame.
#include "usbsvc/blob_finder.h"

#include "common/saturating_cast.h"

namespace zorvik {
namespace {

constexpr std::int32_t kAxisMax = 16383;

std::size_t Offset(Axis axis) {
  return axis == Axis::kX ? 0 : 4;
}

void Store(BlobTable& table, Axis axis, float width, std::int32_t centre) {
  std::size_t& count = axis == Axis::kX ? table.x_count : table.y_count;
  if (count >= kMaxBlobs) return;
  std::uint8_t* at = table.records[count].bytes.data() + Offset(axis);
  at[0] = TruncSaturate<std::uint8_t>(width * 0.0078125f);
  at[1] = static_cast<std::uint8_t>(TruncSaturate<std::int32_t>(width) % 128);
  at[2] = static_cast<std::uint8_t>(centre / 128);
  at[3] = static_cast<std::uint8_t>(centre % 128);
  ++count;
}

}  // namespace

void BlobTable::Clear() {
  records = {};
  x_count = y_count = 0;
}

Blob BlobTable::Get(Axis axis, std::size_t index) const {
  const std::uint8_t* at = records[index].bytes.data() + Offset(axis);
  return {at[0] * 128 + at[1], at[2] * 128 + at[3]};
}

void FindBlobs(std::span<const std::uint8_t> levels, Axis axis, BlobTable& table) {
  if (levels.size() < 2) return;
  const float pitch = static_cast<float>(kAxisMax) / static_cast<float>(levels.size() - 1);
  const float c = 0.01f * pitch;
  bool open = false;
  std::size_t first = 0;
  std::size_t second = 0;
  bool has_second = false;
  std::int32_t n = 0;
  float sum = 0;
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const bool touched = levels[i] >= kTouchedLevel;
    if (touched) {
      if (!open) {
        open = true;
        first = i;
      } else if (!has_second) {
        has_second = true;
        second = i;
      }
      sum += static_cast<float>(i) * pitch;
      ++n;
    }
    const bool closes = open && (!touched || i + 1 == levels.size());
    if (!closes) continue;
    if (!has_second) second = first;
    const float level_first = levels[first];
    const float level_second = levels[second];
    std::int32_t centre =
        TruncSaturate<std::int32_t>(sum / static_cast<float>(n) + c * (level_second - level_first));
    if (centre > kAxisMax || centre < 0) centre = kAxisMax;
    const float width =
        static_cast<float>(n - 1) * pitch + 0.005f * pitch * (level_first + level_second);
    Store(table, axis, width, centre);
    open = has_second = false;
    n = 0;
    sum = 0;
  }
}

}  // namespace zorvik
