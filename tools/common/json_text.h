// Minimal JSON text output for the replay tool's effect lines.
#pragma once

#include <string>
#include <string_view>

namespace zorvik {

// A JSON string literal (with quotes). Bytes of 0x80 and above are written as \u00XX, so any
// controller text gives valid JSON.
std::string JsonString(std::string_view bytes);

}  // namespace zorvik
