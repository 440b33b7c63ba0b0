// Counts the handles a process holds, by object type, from the kernel's list of every open
// handle (under Wine: the wineserver's handle tables, entry by entry).
#pragma once

#include <windows.h>

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik {

struct HandleCensus {
  DWORD pid = 0;
  std::size_t total = 0;
  std::map<std::string, std::size_t> by_type;  // "Event", "Mutant", "Thread", "File", ...

  std::size_t Count(const std::string& type) const {
    const auto found = by_type.find(type);
    return found == by_type.end() ? 0 : found->second;
  }
};

// The handles `pid` holds now; nothing when the system will not list handles.
// (The process list's handle count and GetProcessHandleCount are no substitute under Wine 8:
// the first is the size of the handle table, a power of two, the second always 0.)
[[nodiscard]] std::optional<HandleCensus> TakeHandleCensus(DWORD pid);

// Ids of the running processes whose image file name is `image` (case-insensitive).
std::vector<DWORD> FindProcesses(std::string_view image);

}  // namespace zorvik
