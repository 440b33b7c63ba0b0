// The number fields of the control panel's pages: signed decimal integers typed by the user.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zorvik::panel {

// A field's text as a signed 32-bit integer: optional blanks, an optional sign, at least one
// digit, optional blanks, nothing else. Empty text, a lone sign, other characters and numbers
// outside the 32-bit range are not integers.
std::optional<std::int32_t> ParseNumberField(std::string_view text);

}  // namespace zorvik::panel
