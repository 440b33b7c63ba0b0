// Facts about the running Windows system.
#include "common/win32/system_win32.h"

#include <tlhelp32.h>

#include <string_view>

namespace zorvik {

SystemVersion ReadSystemVersion() {
  OSVERSIONINFOEXA extended{};
  extended.dwOSVersionInfoSize = sizeof extended;  // 156 bytes
  if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&extended))) {
    return {extended.dwPlatformId, extended.dwMajorVersion};
  }
  OSVERSIONINFOA basic{};
  basic.dwOSVersionInfoSize = sizeof basic;  // 148 bytes
  if (GetVersionExA(&basic)) return {basic.dwPlatformId, basic.dwMajorVersion};
  return {};
}

NullDaclSecurity::NullDaclSecurity() {
  if (!InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION)) return;
  if (!SetSecurityDescriptorDacl(&descriptor_, TRUE, nullptr, FALSE)) return;
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = &descriptor_;
  attributes_.bInheritHandle = TRUE;
  valid_ = true;
}

const char* SessionName(const char* name) {
  constexpr std::string_view kGlobal = "Global\\";
  return std::string_view(name).substr(0, kGlobal.size()) == kGlobal ? name + kGlobal.size() : name;
}

HANDLE OpenExistingSection(const char* name, DWORD access) {
  HANDLE section = OpenFileMappingA(access, FALSE, name);
  const char* session = SessionName(name);
  if (section == nullptr && session != name) section = OpenFileMappingA(access, FALSE, session);
  return section;
}

void OpenSharedSection(ScopedKernelHandle& section, ScopedMappedView& view, const char* name,
                       std::size_t size) {
  if (view) return;
  constexpr DWORD kReadWrite = FILE_MAP_READ | FILE_MAP_WRITE;
  section.reset(OpenExistingSection(name, kReadWrite));
  NullDaclSecurity security;
  const char* session = SessionName(name);
  for (const char* created_name : {name, session == name ? nullptr : session}) {
    if (section || created_name == nullptr) break;
    section.reset(CreateFileMappingA(INVALID_HANDLE_VALUE, security.get(), PAGE_READWRITE, 0,
                                     static_cast<DWORD>(size), created_name));
  }
  if (!section) return;
  view.reset(MapViewOfFile(section.get(), kReadWrite, 0, 0, size));
  if (!view) section.reset();
}

void OpenSharedSection(ScopedKernelHandle& section, std::uint8_t*& view, const char* name,
                       std::size_t size) {
  if (view != nullptr) return;
  ScopedMappedView owned;
  OpenSharedSection(section, owned, name, size);
  view = static_cast<std::uint8_t*>(owned.release());
}

HANDLE OpenEventByEitherName(const char* name, const char* other_name) {
  HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
  if (event == nullptr && other_name != nullptr) {
    event = OpenEventA(EVENT_MODIFY_STATE, FALSE, other_name);
  }
  return event;
}

namespace {

std::string ProgramPath() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length < MAX_PATH ? length : 0);
}

}  // namespace

DesktopOrigin VirtualDesktopOrigin() {
  return {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN)};
}

std::string ProgramFolder() {
  const std::string path = ProgramPath();
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string ProgramName() {
  std::string name = ProgramPath();
  name = name.substr(name.find_last_of("\\/") + 1);
  return name.substr(0, name.find_last_of('.'));
}

std::vector<DWORD> FindProcesses(const std::function<bool(std::string_view)>& matches) {
  std::vector<DWORD> found;
  const ScopedFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return found;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot.get(), &entry); more;
       more = Process32Next(snapshot.get(), &entry)) {
    if (matches(entry.szExeFile)) found.push_back(entry.th32ProcessID);
  }
  return found;
}

}  // namespace zorvik
