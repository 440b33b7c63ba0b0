// Where the services write, and a service's own log there: "<program>.log", one line per event
// with the UTC time, and the same line through OutputDebugString (also when the file cannot be
// written).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zorvik {

// "%ProgramData%\Zorvik Touch" (no trailing backslash), created when missing: the services run
// with the signed-in user's standard token, which may not write the program folder; setup gives
// users write access here. Nothing when the common data folder is unknown: then no log or capture
// file is written anywhere else (not beside the program, not in the current folder).
std::optional<std::string> ServiceDataFolder();
// The same folder, not created: for readers of what the services wrote.
std::optional<std::string> ServiceDataFolderName();

// The data folder below `common`: only below an absolute folder, and short enough that the files
// in it fit the ANSI calls' MAX_PATH.
std::optional<std::string> DataFolderBelow(std::string_view common);

void LogLine(std::string_view line);

}  // namespace zorvik
