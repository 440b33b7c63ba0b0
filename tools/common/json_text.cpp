// Minimal JSON text output.
#include "tools/common/json_text.h"

#include <cstdio>

namespace zorvik {

std::string JsonString(std::string_view bytes) {
  std::string out = "\"";
  for (const char ch : bytes) {
    const auto byte = static_cast<unsigned char>(ch);
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += ch;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += ch;
    }
  }
  out += '"';
  return out;
}

}  // namespace zorvik
