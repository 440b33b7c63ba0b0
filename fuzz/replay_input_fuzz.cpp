// Fuzzes what a support engineer feeds the replay tool: registry exports, --set assignments and
// stream lines. Errors are fine; crashes, hangs and out-of-bounds reads are not.
#include <string>
#include <string_view>

#include "common/memory_settings_store.h"
#include "common/settings_loader.h"
#include "tools/touchreplay/reg_import.h"
#include "tools/touchreplay/replay_script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(bytes), size);
  zorvik::MemorySettingsStore store;
  zorvik::ImportError error;
  zorvik::ImportRegText(text, store, &error);
  std::string message;
  zorvik::ApplySetting(text.substr(0, 200), store, &message);
  zorvik::ParseScriptLine(text.substr(0, 400), &message);
  // Whatever the export held, loading it gives defined settings, as either service loads them.
  for (const auto kind : {zorvik::ServiceKind::kUsb, zorvik::ServiceKind::kSerial}) {
    const zorvik::SettingsLoader loader(store, kind, {1024, 768});
    zorvik::DeviceSettings device = zorvik::NewDeviceSettings({1024, 768});
    loader.LoadDevice(loader.LoadService(), "\\\\?\\replay#0", device);
  }
  return 0;
}
