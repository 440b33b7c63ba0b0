// Where the services write, and a service's own log there: "<program>.log", one line per event
// with the UTC time, and the same line through OutputDebugString (also when the file cannot be
// written).
#pragma once

#include <string>
#include <string_view>

namespace zorvik {

// "%ProgramData%\Zorvik Touch" (no trailing backslash), created when missing: the services run
// with the signed-in user's standard token, which may not write the program folder; setup gives
// users write access here. The program's own folder when the common data folder is unknown.
std::string ServiceDataFolder();

void LogLine(std::string_view line);

}  // namespace zorvik
