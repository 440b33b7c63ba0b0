// Settings profiles for fleets: every setting and calibration under
// HKEY_LOCAL_MACHINE\Software\ZorvikTouchParam as a .reg file that the Windows registry editor
// imports too, and the import that accepts only our keys, our value names and their types.
// Device lists (USBAcitve, SerialAcitve), the installation's Program key and support diagnostics
// are not settings of a screen and stay out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/settings_store.h"

namespace zorvik {

inline constexpr char kRegFileHeader[] = "Windows Registry Editor Version 5.00";

struct ProfileExport {
  std::string text;  // lines with CRLF, as bytes 0..255
  // "General\MouseMode": a known name whose value import would refuse (another type, a text
  // with a control character, a MON value that is no 32-bit number), or too long to read.
  std::vector<std::string> skipped;
};

// The profile as text (see EncodeRegFile for the file's bytes).
ProfileExport ExportProfile(SettingsStore& store);

// What regedit writes: UTF-16LE with a byte-order mark; each text byte is one code unit.
std::string EncodeRegFile(std::string_view text);

// No export comes near this (a hundred displays with a hundred devices each stay below 12 MiB);
// a larger file is refused unread, which also keeps the line count within an int.
inline constexpr std::size_t kMaxProfileBytes = 32u << 20;

struct ProfileError {
  int line = 0;  // 1-based; 0 for the file as a whole
  std::string message;
};

struct ProfileImport {
  int values = 0;  // values written
};

// Checks the whole file first (UTF-16LE with byte-order mark, UTF-8 or ASCII; the regedit 5.00
// or REGEDIT4 header) and writes nothing when a line is not ours: another key, an unknown value
// name, a type other than the name's, a key or value deletion, a number that is not a number, a
// text with a control character; nor when the file is cut inside a UTF-16 character or is larger
// than kMaxProfileBytes.
// Then writes every value in one pass. False with *error on the first bad line, or on a failed
// write (what came before it stays written).
bool ImportProfile(std::string_view file_bytes, SettingsStore& store, ProfileImport* result,
                   ProfileError* error);

}  // namespace zorvik
