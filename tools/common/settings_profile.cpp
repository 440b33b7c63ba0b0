// Profile export and import: one table of our keys, value names and types drives both.
#include "tools/common/settings_profile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <span>

#include "common/decimal_text.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "tools/common/text_parsing.h"

namespace zorvik {
namespace {

enum class Kind { kDword, kNumberText, kText };

struct ValueSpec {
  const char* name;  // a "%02d" format when numbered
  Kind kind;
};

struct KeySpec {
  const char* path;  // below the local machine hive; a "%02d" format for Display%02d
  std::span<const ValueSpec> fixed;
  std::span<const ValueSpec> numbered;  // nn = 00..99
};

constexpr ValueSpec kGeneralValues[] = {
    {schema::kMouseMode, Kind::kDword},      {schema::kClickMode, Kind::kDword},
    {schema::kTickFreq, Kind::kDword},       {schema::kTicklength, Kind::kDword},
    {schema::kClickArea, Kind::kDword},      {schema::kDoubleClickSpeed, Kind::kDword},
    {schema::kClickRightLeft, Kind::kDword}, {schema::kScreenRotateFlag, Kind::kDword}};
constexpr ValueSpec kMonitorValues[] = {{schema::kMonXFormat, Kind::kNumberText},
                                        {schema::kMonYFormat, Kind::kNumberText},
                                        {schema::kMonXZoomAFormat, Kind::kNumberText},
                                        {schema::kMonYZoomAFormat, Kind::kNumberText},
                                        {schema::kMonXZoomFormat, Kind::kNumberText},
                                        {schema::kMonYZoomFormat, Kind::kNumberText},
                                        {schema::kMonAnFormat, Kind::kNumberText},
                                        {schema::kMonBnFormat, Kind::kNumberText},
                                        {schema::kMonCnFormat, Kind::kNumberText},
                                        {schema::kMonDnFormat, Kind::kNumberText},
                                        {schema::kMonEnFormat, Kind::kNumberText},
                                        {schema::kMonFnFormat, Kind::kNumberText},
                                        {schema::kMonDividerFormat, Kind::kNumberText},
                                        {schema::kMonCheckErrorUmFormat, Kind::kNumberText},
                                        {schema::kMonFitErrorUmFormat, Kind::kNumberText},
                                        {schema::kMonCalibratedAtFormat, Kind::kText}};
constexpr ValueSpec kMpControlValues[] = {
    {schema::kMpXLimitStart, Kind::kDword},       {schema::kMpXLimitEnd, Kind::kDword},
    {schema::kMpYLimitStart, Kind::kDword},       {schema::kMpYLimitEnd, Kind::kDword},
    {schema::kMpAllowState, Kind::kDword},        {schema::kMpLimitState, Kind::kDword},
    {schema::kEnableMouseAction, Kind::kDword},   {schema::kFirstTouchOnly, Kind::kDword},
    {schema::kEnableMpLimit, Kind::kDword},       {schema::kMpTouchPressure, Kind::kDword},
    {schema::kMpTouchVelocity, Kind::kDword},     {schema::kEnableTouchCorrect, Kind::kDword},
    {schema::kMpAreaLimitOption, Kind::kDword},   {schema::kMpXAllowAreaPercent, Kind::kDword},
    {schema::kMpYAllowAreaPercent, Kind::kDword}, {schema::kMpPopupActiveTime, Kind::kDword},
    {schema::kMpPopupProcessState, Kind::kDword}};
constexpr ValueSpec kMonitorMapsValues[] = {
    {schema::kMultiMonSupport, Kind::kDword},    {schema::kMultiMonMode, Kind::kDword},
    {schema::kVirtualScreenWidth, Kind::kDword}, {schema::kVirtualScreenHeight, Kind::kDword},
    {schema::kMonitorCount, Kind::kDword},       {schema::kActiveMonitor, Kind::kDword}};
constexpr ValueSpec kDisplayValues[] = {
    {schema::kMonitorX, Kind::kDword},         {schema::kMonitorY, Kind::kDword},
    {schema::kMonitorCX, Kind::kDword},        {schema::kMonitorCY, Kind::kDword},
    {schema::kAttachedDeviceNo, Kind::kDword}, {schema::kDisplayDeviceName, Kind::kText}};
constexpr ValueSpec kDisplayDevices[] = {{schema::kDeviceFormat, Kind::kText}};

const KeySpec kKeys[] = {
    {schema::kRootKey, {}, {}},
    {schema::kGeneralKey, kGeneralValues, kMonitorValues},
    {schema::kMpControlKey, kMpControlValues, {}},
    {schema::kMonitorMapsKey, kMonitorMapsValues, {}},
    {schema::kDisplayKeyFormat, kDisplayValues, kDisplayDevices},
};

constexpr std::string_view kLocalMachine = "HKEY_LOCAL_MACHINE";
constexpr std::string_view kRegedit4 = "REGEDIT4";

bool IEquals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; };
           return fold(x) == fold(y);
         });
}

bool IsNumbered(const char* name) {
  return std::string_view(name).find("%02d") != std::string_view::npos;
}

// The number nn when `name` is `format` with two digits in place of "%02d" (case-insensitive,
// as registry names are).
std::optional<int> MatchNumbered(std::string_view format, std::string_view name) {
  const std::size_t at = format.find("%02d");
  if (at == std::string_view::npos || name.size() != format.size() - 2) return std::nullopt;
  const std::string_view suffix = format.substr(at + 4);
  if (!IEquals(name.substr(0, at), format.substr(0, at)) || !IEquals(name.substr(at + 2), suffix)) {
    return std::nullopt;
  }
  const char d0 = name[at], d1 = name[at + 1];
  if (d0 < '0' || d0 > '9' || d1 < '0' || d1 > '9') return std::nullopt;
  return (d0 - '0') * 10 + (d1 - '0');
}

std::uint32_t TypeOf(Kind kind) {
  return kind == Kind::kDword ? value_type::kDword : value_type::kSz;
}

// A quoted .reg text: backslash and quote escaped.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// Why a profile cannot carry this text for a value of `kind`, or nothing when it can. A control
// character would break the .reg line (a line break ends it) or the stored text (a zero ends it).
// Export leaves out what import refuses, so that every export imports.
const char* TextProblem(Kind kind, std::string_view text) {
  const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
  if (std::any_of(text.begin(), text.end(), control)) return "a text without control characters";
  if (kind == Kind::kNumberText && !ParseInt32Text(text)) return "a signed 32-bit decimal number";
  return nullptr;
}

void ExportValue(SettingsStore& store, StoreKey key, const std::string& key_label,
                 const std::string& name, Kind kind, ProfileExport* out) {
  std::array<std::uint8_t, 2048> data{};
  std::uint32_t type = 0, size = data.size();
  const std::uint32_t status = store.QueryValue(key, name, &type, data, &size);
  if (status == store_error::kFileNotFound) return;
  const bool dword = status == store_error::kSuccess && type == value_type::kDword && size == 4;
  const bool text = status == store_error::kSuccess && type == value_type::kSz;
  const auto* begin = reinterpret_cast<const char*>(data.data());
  const std::string_view bytes(begin, std::min<std::size_t>(size, data.size()));
  const std::string_view shown = bytes.substr(0, bytes.find('\0'));
  // A value of another type, longer than any setting or holding what import refuses is named.
  if (kind == Kind::kDword ? !dword : (!text || TextProblem(kind, shown) != nullptr)) {
    out->skipped.push_back(key_label + "\\" + name);
    return;
  }
  out->text += Quoted(name) + "=";
  if (dword) {
    const std::uint32_t v = data[0] | data[1] << 8 | data[2] << 16 | std::uint32_t{data[3]} << 24;
    char hex[16];
    std::snprintf(hex, sizeof hex, "dword:%08x", static_cast<unsigned>(v));
    out->text += hex;
  } else {
    out->text += Quoted(shown);
  }
  out->text += "\r\n";
}

void ExportKey(SettingsStore& store, const std::string& path, const KeySpec& layout,
               ProfileExport* out) {
  const ScopedKey key = OpenKey(store, store.LocalMachine(), path, key_rights::kQueryValue);
  if (!key) return;
  out->text += "[" + std::string(kLocalMachine) + "\\" + path + "]\r\n";
  const std::string label =
      path.substr(std::min(path.size(), std::string_view(schema::kRootKey).size() + 1));
  for (const ValueSpec& v : layout.fixed)
    ExportValue(store, key.get(), label, v.name, v.kind, out);
  for (int n = 0; n < schema::kMaxNumberedNames; ++n) {
    for (const ValueSpec& v : layout.numbered) {
      ExportValue(store, key.get(), label, schema::NumberedName(v.name, n), v.kind, out);
    }
  }
  out->text += "\r\n";
}

// ---- import ----

struct Entry {
  std::string key;  // canonical path below the local machine hive
  std::string name;
  std::uint32_t type = 0;
  std::string data;  // value bytes as stored
};

// Text bytes (one byte per character) of a file: UTF-16LE code units up to U+00FF, or UTF-8/ASCII
// as they are. Nothing, with *error, when a UTF-16 character has no byte or the file ends in one.
std::optional<std::string> DecodeFile(std::string_view bytes, ProfileError* error) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    std::string out;
    int line = 1;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const unsigned unit = static_cast<unsigned char>(bytes[i]) |
                            static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8;
      if (unit > 0xFF) {
        *error = {line, "a character outside the single-byte range"};
        return std::nullopt;
      }
      if (unit == '\n') ++line;
      out += static_cast<char>(unit);
    }
    // An odd byte count: the file was cut, and its last line may be cut short with it.
    if (bytes.size() % 2 != 0) {
      *error = {line, "the file ends inside a UTF-16 character"};
      return std::nullopt;
    }
    return out;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return std::string(bytes);
}

std::optional<std::uint32_t> ParseDwordData(std::string_view hex) {
  if (hex.empty() || hex.size() > 8) return std::nullopt;
  std::uint32_t v = 0;
  for (const char c : hex) {
    if (HexDigit(c) < 0) return std::nullopt;
    v = v * 16 + static_cast<std::uint32_t>(HexDigit(c));
  }
  return v;
}

// A name from the file as an error message shows it.
std::string Shown(std::string_view name) {
  return PrintableText(name, 80);
}

class ProfileParser {
 public:
  explicit ProfileParser(ProfileError* error) : error_(error) {}

  bool Run(std::string_view text, std::vector<Entry>* entries) {
    entries_ = entries;
    bool header = false;
    int number = 0;
    for (std::size_t at = 0; at <= text.size();) {
      const std::size_t end = std::min(text.find('\n', at), text.size());
      const std::string_view line = TrimBlanks(text.substr(at, end - at));
      at = end + 1;
      line_ = ++number;
      if (line.empty() || line.front() == ';') continue;
      if (!header) {
        if (line != kRegFileHeader && line != kRegedit4) {
          return Fail("not a registry file: the first line must be \"" +
                      std::string(kRegFileHeader) + "\"");
        }
        header = true;
        continue;
      }
      if (!(line.front() == '[' ? Section(line) : Value(line))) return false;
    }
    line_ = 0;
    return header || Fail("empty file");
  }

 private:
  bool Fail(std::string message) {
    *error_ = {line_, std::move(message)};
    return false;
  }

  bool Section(std::string_view line) {
    if (line.back() != ']') return Fail("unterminated key");
    const std::string_view key = line.substr(1, line.size() - 2);
    if (!key.empty() && key.front() == '-') return Fail("deletes a key: profiles only set values");
    key_ = nullptr;
    if (key.size() > kLocalMachine.size() && key[kLocalMachine.size()] == '\\' &&
        IEquals(key.substr(0, kLocalMachine.size()), kLocalMachine)) {
      const std::string_view path = key.substr(kLocalMachine.size() + 1);
      for (const KeySpec& layout : kKeys) {
        if (IsNumbered(layout.path)) {
          if (const auto n = MatchNumbered(layout.path, path)) {
            key_ = &layout;
            path_ = schema::NumberedName(layout.path, *n);
          }
        } else if (IEquals(path, layout.path)) {
          key_ = &layout;
          path_ = layout.path;
        }
      }
    }
    if (key_ == nullptr) return Fail("not a key of the settings: " + Shown(key));
    entries_->push_back({path_, {}, value_type::kNone, {}});  // the key exists, even empty
    return true;
  }

  const ValueSpec* Known(std::string_view name, std::string* canonical) const {
    for (const ValueSpec& v : key_->fixed) {
      if (IEquals(name, v.name)) {
        *canonical = v.name;
        return &v;
      }
    }
    for (const ValueSpec& v : key_->numbered) {
      if (const auto n = MatchNumbered(v.name, name)) {
        *canonical = schema::NumberedName(v.name, *n);
        return &v;
      }
    }
    return nullptr;
  }

  bool Value(std::string_view line) {
    if (key_ == nullptr) return Fail("a value before any key");
    std::string name;
    std::string_view rest;
    if (!ParseQuoted(line, &name, &rest)) return Fail("expected a quoted value name");
    rest = TrimBlanks(rest);
    if (rest.empty() || rest.front() != '=') return Fail("expected '=' after the value name");
    const std::string_view data = TrimBlanks(rest.substr(1));
    std::string canonical;
    const ValueSpec* known = Known(name, &canonical);
    if (known == nullptr) return Fail("unknown value \"" + Shown(name) + "\" in " + path_);
    if (data == "-") return Fail("deletes value \"" + name + "\": profiles only set values");
    Entry entry{path_, canonical, TypeOf(known->kind), {}};
    if (known->kind == Kind::kDword) {
      const auto value =
          data.substr(0, 6) == "dword:" ? ParseDwordData(data.substr(6)) : std::nullopt;
      if (!value) return Fail("\"" + name + "\" must be dword:XXXXXXXX");
      for (int shift = 0; shift < 32; shift += 8)
        entry.data += static_cast<char>(*value >> shift);
    } else {
      std::string text;
      if (!ParseQuoted(data, &text, &rest) || !TrimBlanks(rest).empty()) {
        return Fail("\"" + name + "\" must be a quoted text");
      }
      if (const char* problem = TextProblem(known->kind, text)) {
        return Fail("\"" + name + "\" must be " + problem);
      }
      entry.data = text + '\0';
    }
    entries_->push_back(std::move(entry));
    return true;
  }

  ProfileError* error_;
  std::vector<Entry>* entries_ = nullptr;
  const KeySpec* key_ = nullptr;
  std::string path_;
  int line_ = 0;
};

}  // namespace

ProfileExport ExportProfile(SettingsStore& store) {
  ProfileExport out;
  out.text = std::string(kRegFileHeader) + "\r\n\r\n";
  for (const KeySpec& layout : kKeys) {
    if (!IsNumbered(layout.path)) {
      ExportKey(store, layout.path, layout, &out);
      continue;
    }
    for (int n = 0; n < schema::kMaxNumberedNames; ++n) {
      ExportKey(store, schema::NumberedName(layout.path, n), layout, &out);
    }
  }
  return out;
}

std::string EncodeRegFile(std::string_view text) {
  std::string bytes = "\xFF\xFE";
  for (const char c : text) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

bool ImportProfile(std::string_view file_bytes, SettingsStore& store, ProfileImport* result,
                   ProfileError* error) {
  if (file_bytes.size() > kMaxProfileBytes) {
    *error = {0, "larger than any profile (" + std::to_string(kMaxProfileBytes) + " bytes)"};
    return false;
  }
  const auto text = DecodeFile(file_bytes, error);
  if (!text) return false;
  std::vector<Entry> entries;
  if (!ProfileParser(error).Run(*text, &entries)) return false;
  // Every line checked: now write, keeping each key open while its values follow one another.
  std::string open_path;
  ScopedKey key;
  result->values = 0;
  for (const Entry& entry : entries) {
    if (!key || entry.key != open_path) {
      key = CreateKey(store, store.LocalMachine(), entry.key, key_rights::kSetValue);
      open_path = entry.key;
      if (!key) {
        *error = {0, "cannot create key " + entry.key};
        return false;
      }
    }
    if (entry.type == value_type::kNone) continue;
    const auto* data = reinterpret_cast<const std::uint8_t*>(entry.data.data());
    if (store.SetValue(key.get(), entry.name, entry.type, {data, entry.data.size()}) !=
        store_error::kSuccess) {
      *error = {0, "cannot write " + entry.key + "\\" + entry.name};
      return false;
    }
    ++result->values;
  }
  return true;
}

}  // namespace zorvik
