// The two multi-touch sections as JSON lines, as a reader in another process sees them. Header
// counts are validated, not trusted: a section may be written by any process.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zorvik {

// {"points":{"status":..,"count":..,"rows":..,"cols":..,"records":[...]}}: records with a
// non-zero status within rows < n and columns < m, row-major. Counts outside 0..100 are reported
// in an "error" member and no record is read for them.
std::string PointSectionJson(std::span<const std::uint8_t> view);
// {"cells":{"state":..,"n":..,"cx":..,"cy":..}}; n above 1024 is reported in "error".
std::string RawCellSectionJson(std::span<const std::uint8_t> view);

// {"serial":{"status":..,"count":..,"points":[{"id","x1","y1","x2","y2"}...]}} from the serial
// service's section; a count outside 0..100 is reported, not trusted.
std::string SerialSectionJson(std::span<const std::uint8_t> section);

}  // namespace zorvik
