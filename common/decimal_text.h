// Signed decimal text, as the per-monitor registry values hold it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zorvik {

// The C atoi rule over a bounded text: leading blanks, an optional sign, digits, stop at the
// first other character; no digits give 0. Out-of-range numbers saturate at the int32 limits.
std::int32_t AtoiRule(std::string_view text);

// Exactly a signed 32-bit decimal number: an optional minus sign and 1 to 10 digits, nothing
// else (no blanks, no plus sign); nothing for any other text or a number out of range.
std::optional<std::int32_t> ParseInt32Text(std::string_view text);

// Radix 10, a leading minus sign for negative values, no leading zeros.
std::string DecimalText(std::int64_t value);

}  // namespace zorvik
