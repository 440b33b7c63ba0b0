// The service log.
#include "common/win32/service_log_win32.h"

#include <windows.h>

#include <string>

#include "common/capture/capture_text.h"
#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"

namespace zorvik {

void LogLine(std::string_view line) {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  const UtcTime at{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                   now.wMinute, now.wSecond, now.wMilliseconds};
  const std::string text = CaptureText::TimeText(at) + " " + std::string(line) + "\r\n";
  OutputDebugStringA(text.c_str());
  const std::string path = ProgramFolder() + "\\" + ProgramName() + ".log";
  const ScopedFileHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace zorvik
