// touchctl profile export|import: the settings as a .reg file, and back in one pass, after which
// both services are told, as the control panel tells them after a page's writes.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "common/control_event_names.h"
#include "common/registry_settings_store_win32.h"
#include "common/win32/handle_win32.h"
#include "tools/common/json_text.h"
#include "tools/common/settings_profile.h"
#include "tools/touchctl/profile_win32.h"

namespace zorvik {
namespace {

// Sets a service's SETUPCHANGE through the first of its names that exists; a service that is not
// running has none, and then learns the settings when it starts.
void TellService(const char* label, const ControlEventNames& events) {
  for (const char* name : events[kSetupChangeEvent].lookup_order()) {
    const ScopedKernelHandle handle(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
    if (!handle) continue;
    if (SetEvent(handle.get())) {
      std::printf("{\"told\":\"%s\",\"event\":%s}\n", label, JsonString(name).c_str());
    } else {
      std::fprintf(stderr, "touchctl: event %s could not be set (error %lu)\n", name,
                   GetLastError());
    }
    return;
  }
  std::printf("{\"told\":\"%s\",\"event\":null}\n", label);
}

int Export(const char* path) {
  RegistrySettingsStore store;
  const ProfileExport exported = ExportProfile(store);
  for (const std::string& skipped : exported.skipped) {
    std::fprintf(stderr, "touchctl: %s holds what a profile cannot carry; left out\n",
                 skipped.c_str());
  }
  std::ofstream file(path, std::ios::binary);
  file << EncodeRegFile(exported.text);
  if (!file.flush()) {
    std::fprintf(stderr, "touchctl: cannot write %s\n", path);
    return 1;
  }
  std::printf("{\"exported\":%s}\n", JsonString(path).c_str());
  return 0;
}

int Import(const char* path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "touchctl: cannot read %s\n", path);
    return 1;
  }
  // Read no further than a chunk past the largest profile: enough for the import to refuse it.
  std::string bytes;
  char chunk[1 << 16];
  while (bytes.size() <= kMaxProfileBytes && file.read(chunk, sizeof chunk).gcount() > 0) {
    bytes.append(chunk, static_cast<std::size_t>(file.gcount()));
  }
  RegistrySettingsStore store;
  ProfileImport imported;
  ProfileError error;
  if (!ImportProfile(bytes, store, &imported, &error)) {
    if (error.line > 0) {
      std::fprintf(stderr, "touchctl: %s line %d: %s (nothing written)\n", path, error.line,
                   error.message.c_str());
    } else {
      std::fprintf(stderr, "touchctl: %s: %s\n", path, error.message.c_str());
    }
    return 1;
  }
  std::printf("{\"imported\":%s,\"values\":%d}\n", JsonString(path).c_str(), imported.values);
  TellService("usb", kUsbControlEvents);
  TellService("serial", kSerialControlEvents);
  return 0;
}

}  // namespace

int ProfileCommand(int argc, char** argv) {
  if (argc != 4) return 2;
  if (std::strcmp(argv[2], "export") == 0) return Export(argv[3]);
  if (std::strcmp(argv[2], "import") == 0) return Import(argv[3]);
  return 2;
}

}  // namespace zorvik
