// Registry export import.
#include "tools/touchreplay/reg_import.h"

#include <cstdint>
#include <vector>

#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "tools/common/text_parsing.h"

namespace zorvik {
namespace {

constexpr std::string_view kRegedit4 = "REGEDIT4";
constexpr std::string_view kRegedit5 = "Windows Registry Editor Version 5.00";

bool IEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// UTF-16LE (after its byte-order mark) to UTF-8; unpaired surrogates become U+FFFD.
std::string FromUtf16(std::string_view bytes) {
  std::string out;
  const auto unit = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    std::uint32_t cp = unit(i);
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::string Decode(std::string_view bytes) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
    return FromUtf16(bytes.substr(2));
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
  return std::string(bytes);
}

// "dword:" data: one to eight hexadecimal digits.
bool ParseDword(std::string_view text, std::uint32_t* value) {
  if (text.empty() || text.size() > 8) return false;
  std::uint32_t v = 0;
  for (const char c : text) {
    if (HexDigit(c) < 0) return false;
    v = v * 16 + static_cast<std::uint32_t>(HexDigit(c));
  }
  *value = v;
  return true;
}

// "hex:01,02,..." data.
bool ParseHexList(std::string_view text, std::vector<std::uint8_t>* bytes) {
  text = TrimBlanks(text);
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    const std::string_view item = TrimBlanks(text.substr(0, comma));
    const auto byte = HexByte(item);
    if (!byte) return false;
    bytes->push_back(*byte);
    if (comma == std::string_view::npos) break;
    text = TrimBlanks(text.substr(comma + 1));
  }
  return true;
}

// The key path below the local machine hive, or nothing for other hives.
bool LocalMachinePath(std::string_view key, std::string* path) {
  for (const std::string_view hive : {"HKEY_LOCAL_MACHINE", "HKLM"}) {
    if (key.size() > hive.size() && key[hive.size()] == '\\' &&
        IEquals(key.substr(0, hive.size()), hive)) {
      *path = std::string(key.substr(hive.size() + 1));
      return true;
    }
  }
  return false;
}

bool UnderProductKey(std::string_view path) {
  const std::string_view root = schema::kRootKey;
  return path.size() >= root.size() && IEquals(path.substr(0, root.size()), root) &&
         (path.size() == root.size() || path[root.size()] == '\\');
}

class RegParser {
 public:
  RegParser(SettingsStore& store, ImportError* error) : store_(store), error_(error) {}

  bool Run(std::string_view text) {
    bool header_seen = false;
    std::string logical;
    int logical_line = 0;
    int line_number = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
      const std::size_t end = std::min(text.find('\n', at), text.size());
      std::string_view line = TrimBlanks(text.substr(at, end - at));
      at = end + 1;
      ++line_number;
      if (logical.empty()) logical_line = line_number;
      // A trailing backslash continues hex data on the next line.
      if (!line.empty() && line.back() == '\\') {
        logical.append(line.substr(0, line.size() - 1));
        continue;
      }
      logical.append(line);
      std::string current;
      current.swap(logical);
      logical.clear();
      line_ = logical_line;
      if (current.empty() || current.front() == ';') continue;
      if (!header_seen) {
        if (current != kRegedit4 && current != kRegedit5) {
          return Fail("not a registry export (expected \"REGEDIT4\" or \"" +
                      std::string(kRegedit5) + "\")");
        }
        header_seen = true;
        continue;
      }
      if (!Line(current)) return false;
    }
    if (!header_seen) return Fail("empty file");
    return true;
  }

 private:
  bool Fail(std::string message) {
    *error_ = {line_, std::move(message)};
    return false;
  }

  bool Line(std::string_view line) {
    if (line.front() == '[') return Section(line);
    if (!key_) return Fail("value outside a key section");
    std::string name;
    std::string_view rest;
    if (line.front() == '@') {
      rest = line.substr(1);
    } else if (!ParseQuoted(line, &name, &rest)) {
      return Fail("bad value name");
    }
    rest = TrimBlanks(rest);
    if (rest.empty() || rest.front() != '=') return Fail("expected '=' after the value name");
    return Value(name, TrimBlanks(rest.substr(1)));
  }

  bool Section(std::string_view line) {
    if (line.back() != ']') return Fail("unterminated key section");
    std::string_view key = line.substr(1, line.size() - 2);
    const bool remove = !key.empty() && key.front() == '-';
    if (remove) key.remove_prefix(1);
    std::string path;
    if (!LocalMachinePath(key, &path) || !UnderProductKey(path)) {
      return Fail("key outside HKEY_LOCAL_MACHINE\\" + std::string(schema::kRootKey) + ": " +
                  std::string(key));
    }
    key_.reset();
    if (remove) {
      const std::size_t split = path.rfind('\\');
      const ScopedKey parent =
          OpenKey(store_, store_.LocalMachine(), path.substr(0, split), key_rights::kRead);
      if (parent) DeleteKeyTree(store_, parent.get(), path.substr(split + 1));
      return true;
    }
    key_ = CreateKey(store_, store_.LocalMachine(), path, key_rights::kSetValue);
    if (!key_) return Fail("cannot create key " + path);
    return true;
  }

  bool Value(const std::string& name, std::string_view data) {
    std::string text;
    std::string_view rest;
    if (data == "-") return true;  // value deletion: nothing to load
    if (ParseQuoted(data, &text, &rest)) {
      if (!TrimBlanks(rest).empty()) return Fail("text after the closing quote");
      return Store(WriteText(store_, key_.get(), name, text));
    }
    if (data.substr(0, 6) == "dword:") {
      std::uint32_t value = 0;
      if (!ParseDword(data.substr(6), &value)) return Fail("bad dword value");
      return Store(WriteDword(store_, key_.get(), name, value));
    }
    std::uint32_t type = value_type::kBinary;
    std::string_view list;
    if (data.substr(0, 4) == "hex:") {
      list = data.substr(4);
    } else if (data.substr(0, 4) == "hex(" && data.find("):") != std::string_view::npos) {
      const std::size_t close = data.find("):");
      std::uint32_t parsed = 0;
      if (!ParseDword(data.substr(4, close - 4), &parsed)) return Fail("bad hex value type");
      type = parsed;
      list = data.substr(close + 2);
    } else {
      return Fail("unsupported value data: " + std::string(data));
    }
    std::vector<std::uint8_t> bytes;
    if (!ParseHexList(list, &bytes)) return Fail("bad hex value data");
    return Store(store_.SetValue(key_.get(), name, type, bytes));
  }

  bool Store(std::uint32_t result) {
    return result == store_error::kSuccess || Fail("cannot write the value");
  }

  SettingsStore& store_;
  ImportError* error_;
  ScopedKey key_;
  int line_ = 0;
};

}  // namespace

bool ImportRegText(std::string_view file_bytes, SettingsStore& store, ImportError* error) {
  return RegParser(store, error).Run(Decode(file_bytes));
}

bool ApplySetting(std::string_view assignment, SettingsStore& store, std::string* error) {
  const std::size_t equals = assignment.find('=');
  if (equals == std::string_view::npos) {
    *error = "expected KEY\\NAME=VALUE";
    return false;
  }
  const std::string_view path = assignment.substr(0, equals);
  const std::string_view data = assignment.substr(equals + 1);
  const std::size_t split = path.rfind('\\');
  std::string key = schema::kRootKey;
  if (split != std::string_view::npos) key.append("\\").append(path.substr(0, split));
  const std::string_view name = split == std::string_view::npos ? path : path.substr(split + 1);
  const ScopedKey opened = CreateKey(store, store.LocalMachine(), key, key_rights::kSetValue);
  if (!opened) {
    *error = "cannot create key " + key;
    return false;
  }
  std::uint32_t result = 0;
  if (data.substr(0, 6) == "dword:") {
    std::uint32_t value = 0;
    if (!ParseDword(data.substr(6), &value)) {
      *error = "bad dword value '" + std::string(data) + "' (hexadecimal, as in .reg files)";
      return false;
    }
    result = WriteDword(store, opened.get(), name, value);
  } else {
    result = WriteText(store, opened.get(), name, data);
  }
  if (result != store_error::kSuccess) {
    *error = "cannot write " + std::string(path);
    return false;
  }
  return true;
}

}  // namespace zorvik
