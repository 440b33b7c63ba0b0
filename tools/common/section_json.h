// The two multi-touch sections as JSON lines, as a reader in another process sees them. Header
// counts are validated, not trusted: a section may be written by any process.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "usbsvc/touch_sharing.h"

namespace zorvik {

// {"points":{"status":..,"count":..,"rows":..,"cols":..,"records":[...]}}: records with a
// non-zero status within rows < n and columns < m, row-major. Counts outside 0..100 are reported
// in an "error" member and no record is read for them.
std::string PointSectionJson(std::span<const std::uint8_t> view);
// {"cells":{"state":..,"n":..,"cx":..,"cy":..}}; n above 1024 is reported in "error". With
// `with_levels`, also "levels":"<hex>": the levels the section holds, X cells then Y cells.
std::string RawCellSectionJson(std::span<const std::uint8_t> view, bool with_levels = false);

// The raw cell section as a reader sees it. `levels` views the section (or the parsed line's
// bytes) and holds at most n levels, cut to the 1024 the section carries.
struct RawCellFrame {
  std::uint8_t state = 0;  // RawCellState, as written (any byte)
  CellHeader header;
  std::span<const std::uint8_t> levels;
};
// Nothing for a view smaller than the section.
std::optional<RawCellFrame> ReadRawCellSection(std::span<const std::uint8_t> view);
// A line of RawCellSectionJson(view, true), read back (a capture replayed with touchreplay
// --cell-levels): its levels are decoded into `storage`, which the frame then views. Nothing
// for any other line, or for a cells line without levels or with malformed ones.
std::optional<RawCellFrame> ParseRawCellLine(std::string_view line,
                                             std::vector<std::uint8_t>* storage);

// {"serial":{"status":..,"count":..,"points":[{"id","x1","y1","x2","y2"}...]}} from the serial
// service's section; a count outside 0..100 is reported, not trusted.
std::string SerialSectionJson(std::span<const std::uint8_t> section);

}  // namespace zorvik
