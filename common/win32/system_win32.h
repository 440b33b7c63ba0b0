// Facts about the running Windows system and the security the services give shared objects.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/service_settings.h"
#include "common/win32/handle_win32.h"

namespace zorvik {

struct SystemVersion {
  DWORD platform_id = 0;  // 2 = NT family; 0 when the version cannot be read
  DWORD major = 0;
  bool nt_family() const { return platform_id == VER_PLATFORM_WIN32_NT; }
};

// GetVersionEx with the extended structure, then with the basic one.
SystemVersion ReadSystemVersion();

// Security attributes whose descriptor has a NULL DACL (every process may open the object), with
// an inheritable handle.
class NullDaclSecurity {
 public:
  NullDaclSecurity();
  NullDaclSecurity(const NullDaclSecurity&) = delete;
  NullDaclSecurity& operator=(const NullDaclSecurity&) = delete;

  bool valid() const { return valid_; }
  SECURITY_ATTRIBUTES* get() { return valid_ ? &attributes_ : nullptr; }

 private:
  SECURITY_DESCRIPTOR descriptor_{};
  SECURITY_ATTRIBUTES attributes_{};
  bool valid_ = false;
};

// Opens an existing event by `name`, else by `other_name` (may be null): peers create some events
// with "Global\" and some without, and outside session 0 those are two objects. Asks only for
// setting it, which is all its openers do. Null when neither exists.
HANDLE OpenEventByEitherName(const char* name, const char* other_name);

// The virtual desktop's top-left corner now (SM_XVIRTUALSCREEN, SM_YVIRTUALSCREEN).
DesktopOrigin VirtualDesktopOrigin();

// The folder of the running program (without a trailing backslash) and its file name without
// the extension ("Usblink").
std::string ProgramFolder();
std::string ProgramName();

// The ids of the running processes whose executable's file name (no folder) `matches`, in the
// order the system lists them.
std::vector<DWORD> FindProcesses(const std::function<bool(std::string_view)>& matches);

// The name in the session's own namespace of a "Global\" name (the name itself otherwise).
const char* SessionName(const char* name);

// Opens an existing section by its name, else by its session name: a service without the right
// to create global sections (a standard user's token outside session 0) creates its sections in
// the session's namespace. Null when neither exists.
HANDLE OpenExistingSection(const char* name, DWORD access);

// Opens the named paging-file section where it already exists (see OpenExistingSection), else
// creates it under its name, else, when that is refused, under its session name; the created
// section may be opened by every process. Maps all of it read/write. Does nothing when `view` is
// already mapped; on failure both stay empty.
void OpenSharedSection(ScopedKernelHandle& section, ScopedMappedView& view, const char* name,
                       std::size_t size);
// The same for a caller that unmaps the view itself.
void OpenSharedSection(ScopedKernelHandle& section, std::uint8_t*& view, const char* name,
                       std::size_t size);

}  // namespace zorvik
