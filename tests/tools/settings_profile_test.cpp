// Settings profiles: what an export holds and how it is encoded, the round trip, and the import
// that writes nothing when one line is not ours; touchctl calibration's report.
#include <gtest/gtest.h>

#include <string>

#include "common/memory_settings_store.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "tests/common/settings_seed.h"
#include "tools/common/calibration_report.h"
#include "tools/common/settings_profile.h"

namespace zorvik::testing {
namespace {

constexpr char kHeader[] =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\ZorvikTouchParam\\General]\r\n";

void SeedFleetSettings(SettingsStore& store) {
  SettingsSeed seed(store);
  seed.Dword("General", "MouseMode", 2);
  seed.Dword("General", "TickFreq", 0xFFFFFFFF);
  seed.Text("General", "MON00An", "-1234567");
  seed.Text("General", "MON00Divider", "2147483647");
  seed.Text("General", "MON01X", "5");
  seed.Text("General", "MON00CalibratedAt", "2026-12-08T21:40:05Z");
  seed.Key("MPControl");  // present but empty: not the same as absent
  seed.Dword("MonitorMaps", "MonitorCount", 1);
  seed.Display(0, 0, 0, 1024, 768, {"\\\\?\\hid#vid_1\"quoted\"#{guid}"});
  seed.Text("USBAcitve\\USB01", "USBID", "\\\\?\\usb#x");  // device list: never exported
  seed.Text("Program", "TargetDir", "C:\\Zorvik");         // the installation's
}

std::string Value(SettingsStore& store, const std::string& key, const std::string& name) {
  const ScopedKey k = OpenKey(store, store.LocalMachine(),
                              std::string(schema::kRootKey) + "\\" + key, key_rights::kQueryValue);
  std::uint8_t data[512];
  std::uint32_t type = 0, size = sizeof data;
  if (!k || store.QueryValue(k.get(), name, &type, data, &size) != 0) return "(absent)";
  return std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), size);
}

bool KeyExists(SettingsStore& store, const std::string& key) {
  return static_cast<bool>(OpenKey(store, store.LocalMachine(),
                                   std::string(schema::kRootKey) + "\\" + key,
                                   key_rights::kQueryValue));
}

void WipeSettings(SettingsStore& store) {
  const ScopedKey root =
      OpenKey(store, store.LocalMachine(), schema::kRootKey, key_rights::kRead | 0x00010000);
  for (const char* key : {"General", "MPControl", "MonitorMaps"}) {
    ASSERT_EQ(DeleteKeyTree(store, root.get(), key), 0u);
  }
}

TEST(SettingsProfile, ExportIsRegeditsUtf16WithOurSettingsOnly) {
  MemorySettingsStore store;
  SeedFleetSettings(store);
  const ProfileExport exported = ExportProfile(store);
  EXPECT_TRUE(exported.skipped.empty());
  const std::string& text = exported.text;
  EXPECT_EQ(text.find("Windows Registry Editor Version 5.00\r\n\r\n"), 0u);
  for (const char* line : {"\"MouseMode\"=dword:00000002\r\n", "\"TickFreq\"=dword:ffffffff\r\n",
                           "\"MON00An\"=\"-1234567\"\r\n",
                           "[HKEY_LOCAL_MACHINE\\Software\\ZorvikTouchParam\\MPControl]\r\n\r\n",
                           "\"Device00\"=\"\\\\\\\\?\\\\hid#vid_1\\\"quoted\\\"#{guid}\"\r\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(text.find("USBAcitve"), std::string::npos);
  EXPECT_EQ(text.find("TargetDir"), std::string::npos);
  const std::string file = EncodeRegFile("AB\r\n");
  EXPECT_EQ(file, std::string("\xFF\xFE"
                              "A\0B\0\r\0\n\0",
                              10));
}

TEST(SettingsProfile, ExportWipeImportGivesTheSameValuesByteForByte) {
  MemorySettingsStore store;
  SeedFleetSettings(store);
  const std::string before = ExportProfile(store).text;
  const std::string device = Value(store, "MonitorMaps\\Display00", "Device00");
  WipeSettings(store);
  ASSERT_FALSE(KeyExists(store, "MPControl"));
  ProfileImport imported;
  ProfileError error;
  ASSERT_TRUE(ImportProfile(EncodeRegFile(before), store, &imported, &error)) << error.message;
  EXPECT_EQ(imported.values, 13);
  EXPECT_EQ(ExportProfile(store).text, before);
  EXPECT_EQ(Value(store, "MonitorMaps\\Display00", "Device00"), device);
  EXPECT_EQ(Value(store, "General", "MON00An"), std::string("1:-1234567\0", 11));
  EXPECT_TRUE(KeyExists(store, "MPControl"));
}

TEST(SettingsProfile, ALineThatIsNotOursWritesNothingAndIsNamed) {
  struct Case {
    std::string body;  // after the General section line
    int line;
    std::string message;
  };
  const Case cases[] = {
      {"\"MouseMode\"=dword:1\r\n[HKEY_CURRENT_USER\\Software\\ZorvikTouchParam\\General]\r\n", 5,
       "not a key of the settings"},
      {"[HKEY_LOCAL_MACHINE\\Software\\ZorvikTouchParam\\USBAcitve\\USB01]\r\n", 4,
       "not a key of the settings"},
      {"[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n", 4, "not a key of the settings"},
      {"\"MouseMode\"=dword:1\r\n\"MouseSpeed\"=dword:1\r\n", 5, "unknown value \"MouseSpeed\""},
      {"\"MON00An\"=dword:00000001\r\n", 4, "must be a quoted text"},
      {"\"MouseMode\"=\"2\"\r\n", 4, "must be dword"},
      {"\"MON00An\"=\"12abc\"\r\n", 4, "signed 32-bit decimal"},
      {"\"MON00An\"=\"2147483648\"\r\n", 4, "signed 32-bit decimal"},
      {"\"MouseMode\"=hex:01,00,00,00\r\n", 4, "must be dword"},
      {"\"MouseMode\"=-\r\n", 4, "deletes value"},
      {"[-HKEY_LOCAL_MACHINE\\Software\\ZorvikTouchParam\\MPControl]\r\n", 4, "deletes a key"},
      {"@=\"x\"\r\n", 4, "expected a quoted value name"},
      {"\"MON00CalibratedAt\"=\"today\x01\"\r\n", 4, "without control characters"},
      {"\"MON00CalibratedAt\"=\"to\rday\"\r\n", 4, "without control characters"},
      {"\"Mouse\x1b[2JMode\"=dword:1\r\n", 4, "unknown value \"Mouse?[2JMode\""},
  };
  for (const Case& c : cases) {
    MemorySettingsStore store;
    SettingsSeed(store).Dword("General", "MouseMode", 7);
    ProfileImport imported;
    ProfileError error;
    EXPECT_FALSE(ImportProfile(std::string(kHeader) + c.body, store, &imported, &error)) << c.body;
    EXPECT_EQ(error.line, c.line) << c.body;
    EXPECT_NE(error.message.find(c.message), std::string::npos) << error.message;
    EXPECT_EQ(Value(store, "General", "MouseMode"), std::string("4:\x07\0\0\0", 6)) << c.body;
    EXPECT_FALSE(KeyExists(store, "MPControl"));
  }
  MemorySettingsStore store;
  ProfileImport imported;
  ProfileError error;
  EXPECT_FALSE(ImportProfile("[HKEY_LOCAL_MACHINE\\Software]\r\n", store, &imported, &error));
  EXPECT_EQ(error.line, 1);
  // A UTF-16 character that no byte holds.
  EXPECT_FALSE(ImportProfile(
      EncodeRegFile(std::string(kHeader) + "\"MON00CalibratedAt\"=\"") + std::string("\x22\x20", 2),
      store, &imported, &error));
  EXPECT_EQ(error.line, 4);
  // A UTF-16 file cut inside its last character: the line before the cut would import short.
  const std::string whole = EncodeRegFile(std::string(kHeader) + "\"MouseMode\"=dword:12\r\n");
  EXPECT_FALSE(ImportProfile(whole.substr(0, whole.size() - 5), store, &imported, &error));
  EXPECT_EQ(error.line, 4);
  EXPECT_FALSE(ImportProfile(std::string(kMaxProfileBytes + 1, '\n'), store, &imported, &error));
  EXPECT_EQ(error.line, 0);
  EXPECT_FALSE(KeyExists(store, "General"));
}

TEST(SettingsProfile, ExportLeavesOutWhatImportWouldRefuseSoThatItImports) {
  MemorySettingsStore store;
  SettingsSeed seed(store);
  seed.Text("General", "MON00An", "12abc");
  seed.Text("General", "MON00CalibratedAt", "x\r\n\"MouseMode\"=dword:1");
  seed.Text("General", "MON00Bn", std::string(3000, '1'));
  seed.Text("General", "MON00Cn", "-5");
  const ProfileExport exported = ExportProfile(store);
  EXPECT_EQ(exported.skipped, (std::vector<std::string>{"General\\MON00An", "General\\MON00Bn",
                                                        "General\\MON00CalibratedAt"}));
  MemorySettingsStore fresh;
  ProfileImport imported;
  ProfileError error;
  ASSERT_TRUE(ImportProfile(EncodeRegFile(exported.text), fresh, &imported, &error))
      << error.line << " " << error.message;
  EXPECT_EQ(imported.values, 1);
  EXPECT_EQ(Value(fresh, "General", "MouseMode"), "(absent)");
}

TEST(SettingsProfile, Regedit4Utf8AndAnyCaseImportUnderTheSchemasSpelling) {
  MemorySettingsStore store;
  ProfileImport imported;
  ProfileError error;
  ASSERT_TRUE(ImportProfile(
      "\xEF\xBB\xBFREGEDIT4\n\n[hkey_local_machine\\software\\zorvikTouchParam\\general]\n"
      "\"mon03divider\"=\"-7\"\n; a comment\n"
      "[HKEY_LOCAL_MACHINE\\Software\\ZorvikTouchParam\\MonitorMaps\\display02]\n\"cx\"=dword:"
      "400\n",
      store, &imported, &error))
      << error.line << " " << error.message;
  EXPECT_EQ(Value(store, "General", "MON03Divider"), std::string("1:-7\0", 5));
  EXPECT_EQ(Value(store, "MonitorMaps\\Display02", "CX"), std::string("4:\0\x04\0\0", 6));
}

TEST(CalibrationReport, EachMonitorWithItsErrorsInWordsAndJson) {
  MemorySettingsStore store;
  SettingsSeed seed(store);
  for (const auto& [name, text] : {std::pair{"MON00An", "1000"},
                                   {"MON00Cn", "-25000"},
                                   {"MON00Divider", "1000"},
                                   {"MON00En", "1000"},
                                   {"MON00CheckErrorUm", "513"},
                                   {"MON00FitErrorUm", "123"},
                                   {"MON00CalibratedAt", "2026-12-08T21:40:05Z"},
                                   {"MON02X", "4"}}) {
    seed.Text("General", name, text);
  }
  const auto report = ReadCalibrations(store);
  ASSERT_EQ(report.size(), 2u);  // monitor 00 and monitor 02, which has a value of its own
  EXPECT_EQ(CalibrationJson(report[0]),
            "{\"monitor\":0,\"matrix\":{\"An\":1000,\"Bn\":0,\"Cn\":-25000,\"Dn\":0,\"En\":1000,"
            "\"Fn\":0,\"Divider\":1000},\"offset\":{\"X\":0,\"Y\":0},\"zoom\":{\"X\":10000,"
            "\"Y\":10000},\"fitErrorUm\":123,\"checkErrorUm\":513,"
            "\"calibratedAt\":\"2026-12-08T21:40:05Z\"}");
  EXPECT_NE(CalibrationWords(report[0]).find("check error 0.513 mm, fit error 0.123 mm, "
                                             "calibrated 2026-12-08T21:40:05Z"),
            std::string::npos);
  EXPECT_EQ(report[1].monitor, 2);
  EXPECT_NE(CalibrationJson(report[1]).find("\"checkErrorUm\":null"), std::string::npos);
  EXPECT_NE(CalibrationWords(report[1]).find("check error not measured"), std::string::npos);
}

TEST(CalibrationReport, HostileTextsAreNotMeasurementsAndDoNotReachTheTerminal) {
  MemorySettingsStore store;
  SettingsSeed seed(store);
  seed.Text("General", "MON00CheckErrorUm", "junk");
  seed.Text("General", "MON00FitErrorUm", "-5");
  seed.Text("General", "MON00CalibratedAt", "\x1b[2J" + std::string(200, 'x'));
  const auto report = ReadCalibrations(store);
  ASSERT_EQ(report.size(), 1u);
  EXPECT_FALSE(report[0].check_error_um);
  EXPECT_FALSE(report[0].fit_error_um);
  const std::string words = CalibrationWords(report[0]);
  EXPECT_NE(words.find("check error not measured, fit error not measured, calibrated ?[2Jxxx"),
            std::string::npos);
  EXPECT_EQ(words.find('\x1b'), std::string::npos);
  EXPECT_LT(words.size(), 200u);
}

}  // namespace
}  // namespace zorvik::testing
