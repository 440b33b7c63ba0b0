// The services' data folder and log.
#include "common/win32/service_log_win32.h"

#include <windows.h>
// Needs windows.h first.
#include <shlobj.h>

#include <cstddef>
#include <optional>
#include <string>

#include "common/capture/capture_text.h"
#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"

namespace zorvik {

namespace {
constexpr char kDataFolderName[] = "Zorvik Touch";
// Room below the data folder for "Capture\<file>" and "<program>.log".
constexpr std::size_t kRoomBelow = 64;
}  // namespace

std::optional<std::string> DataFolderBelow(std::string_view common) {
  const bool drive = common.size() >= 3 && common[1] == ':' && common[2] == '\\';
  const bool share = common.starts_with("\\\\");
  if (!drive && !share) return std::nullopt;
  std::string folder(common);
  if (folder.back() != '\\') folder += '\\';
  folder += kDataFolderName;
  if (folder.size() + kRoomBelow >= MAX_PATH) return std::nullopt;
  return folder;
}

std::optional<std::string> ServiceDataFolderName() {
  char common[MAX_PATH] = {};
  if (FAILED(
          SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, common))) {
    return std::nullopt;
  }
  return DataFolderBelow(common);
}

std::optional<std::string> ServiceDataFolder() {
  std::optional<std::string> folder = ServiceDataFolderName();
  // Setup creates it with the users' rights; this one (a service started before setup ever ran,
  // or after the folder was deleted) inherits the ProgramData folder's.
  if (folder) CreateDirectoryA(folder->c_str(), nullptr);
  return folder;
}

void LogLine(std::string_view line) {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  const UtcTime at{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                   now.wMinute, now.wSecond, now.wMilliseconds};
  const std::string text = CaptureText::TimeText(at) + " " + std::string(line) + "\r\n";
  OutputDebugStringA(text.c_str());
  const std::optional<std::string> folder = ServiceDataFolder();
  if (!folder) return;
  const std::string path = *folder + "\\" + ProgramName() + ".log";
  const ScopedFileHandle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace zorvik
