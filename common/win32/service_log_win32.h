// A service's own log: "<program>.log" beside its executable, one line per event with the UTC
// time, and the same line through OutputDebugString (also when the file cannot be written).
#pragma once

#include <string_view>

namespace zorvik {

void LogLine(std::string_view line);

}  // namespace zorvik
