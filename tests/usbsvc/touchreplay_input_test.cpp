// The replay tool's input: the stream language, the clock, .reg exports and --set.
#include <gtest/gtest.h>

#include "common/memory_settings_store.h"
#include "common/settings_access.h"
#include "tools/touchreplay/reg_import.h"
#include "tools/touchreplay/replay_script.h"

namespace zorvik {
namespace {

TEST(ReplayScript, BytesCommentsAndDirectives) {
  std::string error;
  auto line = ParseScriptLine("  81 0a FF  # comment 12", &error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->bytes, (std::vector<std::uint8_t>{0x81, 0x0A, 0xFF}));
  line = ParseScriptLine("# only a comment", &error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->kind, ScriptLine::Kind::kEmpty);
  line = ParseScriptLine("@time 2026-01-02T03:04:05.678Z", &error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->time, (UtcTime{2026, 1, 2, 3, 4, 5, 678}));
  line = ParseScriptLine("@advance 1500", &error);
  ASSERT_TRUE(line);
  EXPECT_EQ(line->advance_ms, 1500);
}

TEST(ReplayScript, RejectsMalformedLines) {
  std::string error;
  for (const char* bad : {"8", "81 0g", "810a", "@time 2026-02-30T00:00:00.000Z", "@time tomorrow",
                          "@advance -1", "@advance", "@wait 5"}) {
    EXPECT_FALSE(ParseScriptLine(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(UtcTimeArithmetic, AdvanceCarriesIntoDaysMonthsAndLeapYears) {
  const auto advance = [](UtcTime t, std::int64_t ms) {
    return FromEpochMilliseconds(ToEpochMilliseconds(t) + ms);
  };
  EXPECT_EQ(advance({2026, 12, 31, 23, 59, 59, 999}, 1), (UtcTime{2027, 1, 1, 0, 0, 0, 0}));
  EXPECT_EQ(advance({2028, 2, 28, 12, 0, 0, 0}, 86'400'000), (UtcTime{2028, 2, 29, 12, 0, 0, 0}));
  EXPECT_EQ(advance({2026, 1, 1, 0, 0, 58, 500}, 2000), (UtcTime{2026, 1, 1, 0, 1, 0, 500}));
}

class RegImportTest : public ::testing::Test {
 protected:
  std::optional<std::uint32_t> Dword(std::string_view key, std::string_view name) {
    const ScopedKey opened = OpenKey(store_, store_.LocalMachine(), key, key_rights::kRead);
    return opened ? ReadDword(store_, opened.get(), name) : std::nullopt;
  }
  std::string Text(std::string_view key, std::string_view name) {
    const ScopedKey opened = OpenKey(store_, store_.LocalMachine(), key, key_rights::kRead);
    const auto text = opened ? ReadText(store_, opened.get(), name) : std::nullopt;
    return text ? std::string(text->view()) : "<absent>";
  }
  MemorySettingsStore store_;
};

TEST_F(RegImportTest, Regedit5InUtf16WithEscapesAndEmptyKeys) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZorvikTouchParam\\General]\r\n"
      "\"MouseMode\"=dword:00000002\r\n"
      "\"MON00An\"=\"-3\"\r\n"
      "\"Quoted\"=\"a \\\"b\\\" \\\\c\"\r\n"
      "\"Raw\"=hex:01,02,\\\r\n  03\r\n"
      "; a comment\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ZorvikTouchParam\\MPControl]\r\n";
  std::string utf16 = "\xFF\xFE";
  for (const char c : text) {
    utf16 += c;
    utf16 += '\0';
  }
  ImportError error;
  ASSERT_TRUE(ImportRegText(utf16, store_, &error)) << error.line << ": " << error.message;
  EXPECT_EQ(Dword("Software\\ZorvikTouchParam\\General", "MouseMode"), 2u);
  EXPECT_EQ(Text("Software\\ZorvikTouchParam\\General", "MON00An"), "-3");
  EXPECT_EQ(Text("Software\\ZorvikTouchParam\\General", "Quoted"), "a \"b\" \\c");
  EXPECT_TRUE(OpenKey(store_, store_.LocalMachine(), "Software\\ZorvikTouchParam\\MPControl",
                      key_rights::kRead));
}

TEST_F(RegImportTest, Regedit4AndErrorsWithTheirLines) {
  ImportError error;
  ASSERT_TRUE(
      ImportRegText("REGEDIT4\n[HKLM\\Software\\ZorvikTouchParam\\General]\n"
                    "\"ClickArea\"=dword:b4\n",
                    store_, &error));
  EXPECT_EQ(Dword("Software\\ZorvikTouchParam\\General", "ClickArea"), 180u);

  EXPECT_FALSE(ImportRegText("hello\n", store_, &error));
  EXPECT_EQ(error.line, 1);
  EXPECT_FALSE(ImportRegText("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\X]\n", store_, &error));
  EXPECT_EQ(error.line, 3);
  EXPECT_FALSE(ImportRegText(
      "REGEDIT4\n[HKLM\\Software\\ZorvikTouchParam]\n\"A\"=dword:123456789\n", store_, &error));
  EXPECT_EQ(error.line, 3);
  EXPECT_FALSE(ImportRegText("REGEDIT4\n\"A\"=dword:1\n", store_, &error));
  EXPECT_FALSE(ImportRegText("REGEDIT4\n[HKLM\\Software\\ZorvikTouchParam]\n\"A\"=\"open\n", store_,
                             &error));
}

TEST_F(RegImportTest, SetTakesHexDwordsAndStrings) {
  std::string error;
  ASSERT_TRUE(ApplySetting("General\\ScreenRotateFlag=dword:b4", store_, &error));
  ASSERT_TRUE(ApplySetting("General\\MON00An=3", store_, &error));
  ASSERT_TRUE(ApplySetting("MonitorMaps\\Display00\\Device00=\\\\?\\usb#1", store_, &error));
  EXPECT_EQ(Dword("Software\\ZorvikTouchParam\\General", "ScreenRotateFlag"), 180u);
  EXPECT_EQ(Text("Software\\ZorvikTouchParam\\General", "MON00An"), "3");
  EXPECT_EQ(Text("Software\\ZorvikTouchParam\\MonitorMaps\\Display00", "Device00"), "\\\\?\\usb#1");
  EXPECT_FALSE(ApplySetting("General\\MouseMode=dword:xyz", store_, &error));
  EXPECT_FALSE(ApplySetting("General\\MouseMode", store_, &error));
}

}  // namespace
}  // namespace zorvik
