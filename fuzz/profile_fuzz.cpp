// Fuzzes touchctl profile import with whatever a fleet's file may hold: any bytes, any encoding,
// cut anywhere. Errors are fine; crashes, hangs and out-of-bounds reads are not, nor a refused
// file that wrote something, nor an accepted one whose export does not import to itself.
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/memory_settings_store.h"
#include "tools/common/settings_profile.h"

namespace {

// Every write creates its key first, so a store without a key holds nothing written.
bool HoldsNothing(zorvik::SettingsStore& store) {
  char name[zorvik::kKeyNameCapacity];
  return store.EnumKey(store.LocalMachine(), 0, name) == zorvik::store_error::kNoMoreItems;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const std::string_view file(reinterpret_cast<const char*>(bytes), size);
  zorvik::MemorySettingsStore store;
  zorvik::ProfileImport imported;
  zorvik::ProfileError error;
  if (!zorvik::ImportProfile(file, store, &imported, &error)) {
    if (!HoldsNothing(store)) std::abort();
    return 0;
  }
  const std::string exported = zorvik::ExportProfile(store).text;
  zorvik::MemorySettingsStore again;
  if (!zorvik::ImportProfile(zorvik::EncodeRegFile(exported), again, &imported, &error) ||
      zorvik::ExportProfile(again).text != exported) {
    std::abort();
  }
  return 0;
}
