// Handle census through NtQuerySystemInformation(SystemExtendedHandleInformation), with type
// names from NtQueryObject(ObjectTypesInformation).
#include "testkit/handlecount/handle_census_win32.h"

#include <cstdint>

#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"

namespace zorvik {
namespace {

constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr ULONG kObjectTypesInformation = 3;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr LONG kStatusBufferOverflow = static_cast<LONG>(0x80000005);
constexpr std::size_t kFirstBufferBytes = 64 * 1024;
constexpr std::size_t kLargestBufferBytes = 64 * 1024 * 1024;

// Layouts as the system returns them (not all are in the MinGW headers).
struct HandleEntry {
  void* object;
  ULONG_PTR owner_pid;
  ULONG_PTR handle;
  ULONG granted_access;
  USHORT creator_back_trace_index;
  USHORT type_index;
  ULONG attributes;
  ULONG reserved;
};

struct HandleList {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};

struct CountedString {
  USHORT length;  // bytes
  USHORT maximum_length;
  wchar_t* buffer;
};

struct TypeEntry {
  CountedString name;
  ULONG counts_and_mapping[18];
  BOOLEAN security_required;
  BOOLEAN maintain_handle_count;
  UCHAR type_index;  // 0 on Wine 8, which numbers types by their place in the list
  CHAR reserved;
  ULONG pool_type;
  ULONG paged_pool_usage;
  ULONG non_paged_pool_usage;
};

using QuerySystemInformation = LONG(NTAPI*)(ULONG, void*, ULONG, ULONG*);
using QueryObject = LONG(NTAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);

template <typename Function>
Function NtFunction(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// Calls `query(buffer, size)` with a buffer doubled until the answer fits.
template <typename Query>
std::optional<std::vector<std::uint8_t>> QueryGrowing(Query query) {
  std::vector<std::uint8_t> buffer(kFirstBufferBytes);
  for (;;) {
    const LONG status = query(buffer.data(), static_cast<ULONG>(buffer.size()));
    if (status >= 0) return buffer;
    if ((status != kStatusInfoLengthMismatch && status != kStatusBufferOverflow) ||
        buffer.size() >= kLargestBufferBytes) {
      return std::nullopt;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string Narrow(const CountedString& text) {
  std::string out;
  for (USHORT k = 0; k < text.length / sizeof(wchar_t); ++k) {
    out += text.buffer[k] < 0x80 ? static_cast<char>(text.buffer[k]) : '?';
  }
  return out;
}

// Type names by their index in the type list: the index the system gives where it fills it
// in, the place in the list otherwise.
std::map<int, std::string> TypeNames() {
  std::map<int, std::string> names;
  const auto query = NtFunction<QueryObject>("NtQueryObject");
  if (query == nullptr) return names;
  const auto types = QueryGrowing([&](void* buffer, ULONG size) {
    return query(nullptr, kObjectTypesInformation, buffer, size, nullptr);
  });
  if (!types) return names;
  const ULONG count = *reinterpret_cast<const ULONG*>(types->data());
  std::uintptr_t at = reinterpret_cast<std::uintptr_t>(types->data()) + sizeof(void*);
  const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(types->data()) + types->size();
  for (ULONG place = 0; place < count && at + sizeof(TypeEntry) <= end; ++place) {
    const auto* type = reinterpret_cast<const TypeEntry*>(at);
    names[type->type_index != 0 ? type->type_index : static_cast<int>(place)] = Narrow(type->name);
    // The name follows its entry; the next entry starts at the next pointer-aligned place.
    const std::uintptr_t name_end =
        reinterpret_cast<std::uintptr_t>(type->name.buffer) + type->name.maximum_length;
    at = (name_end + sizeof(void*) - 1) & ~(std::uintptr_t{sizeof(void*)} - 1);
  }
  return names;
}

// How far the type numbers of handle entries lie from those of the type list. Windows numbers
// both alike; Wine 8 numbers the list from 2 and the handle entries from 0. A handle of known
// type (`reference`, an event of this process) settles it on whatever system this runs.
int TypeNumberShift(const HandleList& handles, const std::map<int, std::string>& names,
                    HANDLE reference) {
  int event_number = -1;
  for (const auto& [number, name] : names) {
    if (name == "Event") event_number = number;
  }
  const DWORD self = GetCurrentProcessId();
  for (ULONG_PTR k = 0; k < handles.count; ++k) {
    const HandleEntry& entry = handles.entries[k];
    if (entry.owner_pid == self && entry.handle == reinterpret_cast<ULONG_PTR>(reference)) {
      return event_number < 0 ? 0 : entry.type_index - event_number;
    }
  }
  return 0;
}

bool SameName(std::string_view a, std::string_view b) {
  const auto upper = [](char ch) { return ch >= 'a' && ch <= 'z' ? ch - 'a' + 'A' : ch; };
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    if (upper(a[k]) != upper(b[k])) return false;
  }
  return true;
}

}  // namespace

std::optional<HandleCensus> TakeHandleCensus(DWORD pid) {
  const auto query = NtFunction<QuerySystemInformation>("NtQuerySystemInformation");
  if (query == nullptr) return std::nullopt;
  // Counted with the rest when `pid` is this process.
  const ScopedKernelHandle reference(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const auto list = QueryGrowing([&](void* buffer, ULONG size) {
    return query(kSystemExtendedHandleInformation, buffer, size, nullptr);
  });
  if (!list) return std::nullopt;
  const auto& handles = *reinterpret_cast<const HandleList*>(list->data());
  const std::map<int, std::string> names = TypeNames();
  const int shift = TypeNumberShift(handles, names, reference.get());
  HandleCensus census;
  census.pid = pid;
  for (ULONG_PTR k = 0; k < handles.count; ++k) {
    const HandleEntry& entry = handles.entries[k];
    if (entry.owner_pid != pid) continue;
    ++census.total;
    const int number = entry.type_index - shift;
    const auto name = names.find(number);
    ++census.by_type[name != names.end() ? name->second : "type" + std::to_string(number)];
  }
  return census;
}

std::vector<DWORD> FindProcesses(std::string_view image) {
  return zorvik::FindProcesses([image](std::string_view name) { return SameName(name, image); });
}

}  // namespace zorvik
