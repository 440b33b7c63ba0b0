// Where the services' logs and captures go: below an absolute common data folder only, with room
// for the files' names, and never anywhere else (no fallback to the program's or current folder).
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "common/win32/service_log_win32.h"

namespace zorvik {
namespace {

TEST(ServiceDataFolder, OnlyBelowAnAbsoluteFolderWithRoomForTheFiles) {
  const std::string deep = "C:\\" + std::string(200, 'd');
  const struct {
    std::string common;
    std::optional<std::string> folder;
  } cases[] = {
      {"C:\\ProgramData", "C:\\ProgramData\\Zorvik Touch"},
      {"C:\\", "C:\\Zorvik Touch"},
      {"\\\\server\\data", "\\\\server\\data\\Zorvik Touch"},
      {"", std::nullopt},               // the shell gave nothing
      {"ProgramData", std::nullopt},    // relative: the current folder's
      {"C:ProgramData", std::nullopt},  // relative to the drive's current folder
      {deep, std::nullopt},             // no room for Capture\<file>
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DataFolderBelow(c.common), c.folder) << "'" << c.common << "'";
  }
}

TEST(ServiceDataFolder, IsTheCommonDataFolderAndExists) {
  const std::optional<std::string> folder = ServiceDataFolder();
  ASSERT_TRUE(folder);
  EXPECT_EQ(*folder, "C:\\ProgramData\\Zorvik Touch");
  const DWORD attributes = GetFileAttributesA(folder->c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

}  // namespace
}  // namespace zorvik
