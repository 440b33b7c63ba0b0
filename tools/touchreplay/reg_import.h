// Loads a Windows registry export (".reg", "REGEDIT4" or "Windows Registry Editor Version 5.00",
// UTF-8 or UTF-16LE with byte-order mark) and "--set" assignments into a settings store, below
// HKEY_LOCAL_MACHINE\Software\ZorvikTouchParam.
#pragma once

#include <string>
#include <string_view>

#include "common/settings_store.h"

namespace zorvik {

struct ImportError {
  int line = 0;  // 1-based; 0 when not tied to a line
  std::string message;
};

// Imports the text of a .reg file. Keys named in sections exist afterwards even without values.
bool ImportRegText(std::string_view file_bytes, SettingsStore& store, ImportError* error);

// "General\MouseMode=dword:00000002" (hexadecimal) or "General\MON00An=3" (a string), path
// relative to Software\ZorvikTouchParam.
bool ApplySetting(std::string_view assignment, SettingsStore& store, std::string* error);

}  // namespace zorvik
