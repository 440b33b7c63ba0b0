// setuphelp: what the setup program and its uninstaller need from Windows that their script
// cannot do by itself: ending and starting the touch services, and the rights of the settings
// key, the services' data folder and the installation folder.
//   setuphelp stop-services [MS]   set each running service's exit event, then wait up to MS ms
//                                  (default 10000) for the service processes to end
//   setuphelp start-services DIR   start DIR's Usblink.exe and Serlink.exe as the signed-in user
//                                  (the desktop shell's token); nothing without a shell
//   setuphelp grant-settings       open Software\ZorvikTouchParam to the interactive users (and
//                                  take back the full access older versions gave on General)
//   setuphelp prepare-data-folder  create the services' data folder, writable by users
//   setuphelp secure-folder DIR    give the installation folder Program Files' rights unless it
//                                  is inside Program Files already
//   setuphelp show-key-acl [SUBKEY]  print the settings key's access list (SDDL), for support
//   setuphelp show-folder-acl DIR  print a folder's access list (SDDL), for support
//   setuphelp print-sddl           print the rights the three commands above give
//   setuphelp run-drvsetup         run drvsetup.exe of this folder in this folder, its output
//                                  with ours
// Lines go to standard output, or with `--log FILE` first to the end of FILE: the setup program
// reads that file into its log (under Wine, output captured through a pipe went missing now and
// then). Built for the windows subsystem, so that the setup program opens no console for it.
// Exit code 0 when done, 1 when a service is still running at the time-out, rights cannot be
// set, a service cannot be started or drvsetup cannot be run, 2 for bad usage.
#include <windows.h>
// These need windows.h first.
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/kernel_object_names.h"
#include "common/settings_schema.h"
#include "common/win32/handle_win32.h"
#include "common/win32/service_log_win32.h"
#include "common/win32/system_win32.h"

namespace {

using namespace zorvik;

constexpr char kUsage[] =
    "usage: setuphelp [--log FILE] stop-services [MS] | start-services DIR | grant-settings |\n"
    "                 prepare-data-folder | secure-folder DIR | show-key-acl [SUBKEY] |\n"
    "                 show-folder-acl DIR | print-sddl | run-drvsetup\n";

// The rights setup gives, in one place.
// Interactive users on Software\ZorvikTouchParam and every key below it: read, set values,
// create subkeys and delete (the services and the panel delete and recreate the device lists,
// Clicktog writes General). Not WRITE_DAC or WRITE_OWNER: no user may change who else has access.
constexpr char kSettingsKeyAces[] =
    "(A;CI;0x3001f;;;IU)";  // KEY_READ|SET_VALUE|CREATE_SUB_KEY|DELETE
// Users on the services' data folder, its files and subfolders: modify (read, write, execute,
// delete), so that logs and captures one user's services began, another's go on with.
constexpr char kDataFolderAces[] = "(A;OICI;0x1301bf;;;BU)";
// An installation folder outside Program Files gets Program Files' rights: nobody but the system
// and the administrators may change the programs the elevated panel starts.
constexpr char kInstallFolderSddl[] =
    "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";  // users: read and execute
// What stands for a missing access list (open to everybody) before entries are added or taken
// out: a list of one entry in place of "nothing" would shut out the system and the administrators.
constexpr char kKeyBaseAces[] = "(A;CI;KA;;;SY)(A;CI;KA;;;BA)";
constexpr char kFolderBaseAces[] = "(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr DWORD kDefaultStopTimeoutMs = 10000;
constexpr DWORD kPollMs = 100;
constexpr DWORD kDrvsetupTimeoutMs = 120000;

// Where the lines go: standard output or the --log file.
HANDLE g_output = nullptr;

__attribute__((format(printf, 1, 2))) void Print(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (length <= 0) return;
  DWORD written = 0;
  WriteFile(g_output, line, static_cast<DWORD>(std::min<std::size_t>(length, sizeof line - 1)),
            &written, nullptr);
}

struct Service {
  const char* image;  // process image name, compared without regard to case
  // The service creates its exit event under the first name on NT-family systems and under the
  // second elsewhere; outside session 0 those are two objects, so either may be the live one.
  const char* exit_event;
  const char* other_exit_event;
};

constexpr Service kServices[] = {
    {"Usblink.exe", names::kUsbExitEventGlobal, names::kUsbExitEvent},
    {"Serlink.exe", names::kSerialExitEvent, nullptr},
};

// One running service process and how far ending it has got.
struct Instance {
  const Service* service;
  DWORD pid;
  ScopedKernelHandle process;
  bool told = false;  // its exit event has been set
  bool ended = false;
};

// Sets the service's exit event when it exists. An event is only ever set for a running
// process: set with nobody waiting, it would stay signalled and end the next start at once.
bool SetExitEvent(const Service& service) {
  const ScopedKernelHandle event(
      OpenEventByEitherName(service.exit_event, service.other_exit_event));
  return event && SetEvent(event.get());
}

std::vector<Instance> FindRunningServices() {
  std::vector<Instance> found;
  for (const Service& service : kServices) {
    const std::string_view image = service.image;
    const auto same = [image](std::string_view name) {
      return name.size() == image.size() &&
             CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, name.data(),
                            static_cast<int>(name.size()), image.data(),
                            static_cast<int>(image.size())) == CSTR_EQUAL;
    };
    for (const DWORD pid : FindProcesses(same)) {
      ScopedKernelHandle process(
          OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
      if (process) found.push_back({&service, pid, std::move(process)});
    }
  }
  return found;
}

int StopServices(DWORD timeout_ms) {
  std::vector<Instance> running = FindRunningServices();
  for (const Service& service : kServices) {
    bool any = false;
    for (const Instance& instance : running)
      any = any || instance.service == &service;
    if (!any) Print("%s is not running\n", service.image);
  }
  // A service found a moment after its start may not have created its events yet: keep trying
  // to set them until the time-out.
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    bool pending = false;
    for (Instance& instance : running) {
      if (instance.ended) continue;
      if (WaitForSingleObject(instance.process.get(), 0) == WAIT_OBJECT_0) {
        instance.ended = true;
        Print("%s (process %lu) ended\n", instance.service->image, instance.pid);
        continue;
      }
      if (!instance.told && SetExitEvent(*instance.service)) {
        instance.told = true;
        Print("%s (process %lu): exit event set\n", instance.service->image, instance.pid);
      }
      pending = true;
    }
    if (!pending || GetTickCount64() >= deadline) break;
    Sleep(kPollMs);
  }
  int result = 0;
  for (const Instance& instance : running) {
    if (instance.ended) continue;
    result = 1;
    if (instance.told) {
      Print("%s (process %lu) did not end within %lu s of its exit event\n",
            instance.service->image, instance.pid, (timeout_ms + 999) / 1000);
    } else {
      Print("%s (process %lu) has no exit event and did not end within %lu s\n",
            instance.service->image, instance.pid, (timeout_ms + 999) / 1000);
    }
  }
  return result;
}

int Fail(const char* what, DWORD error) {
  Print("%s failed (error %lu)\n", what, error);
  return 1;
}

// A security descriptor parsed from SDDL, and its access list.
struct Sddl {
  ScopedLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
  PACL dacl = nullptr;
};

bool Parse(const std::string& text, Sddl& out) {
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  return ConvertStringSecurityDescriptorToSecurityDescriptorA(text.c_str(), SDDL_REVISION_1,
                                                              out.descriptor.put(), nullptr) &&
         GetSecurityDescriptorDacl(out.descriptor.get(), &present, &out.dacl, &defaulted) &&
         present && out.dacl != nullptr;
}

std::vector<const ACE_HEADER*> Entries(PACL acl) {
  std::vector<const ACE_HEADER*> entries;
  ACL_SIZE_INFORMATION size{};
  if (acl == nullptr || !GetAclInformation(acl, &size, sizeof size, AclSizeInformation))
    return entries;
  for (DWORD i = 0; i < size.AceCount; ++i) {
    void* ace = nullptr;
    if (GetAce(acl, i, &ace)) entries.push_back(static_cast<const ACE_HEADER*>(ace));
  }
  return entries;
}

bool Inherited(const ACE_HEADER* ace) {
  return (ace->AceFlags & INHERITED_ACE) != 0;
}

// The allowed entry's trustee and rights; false for any other kind of entry.
bool Allowed(const ACE_HEADER* ace, PSID& sid, ACCESS_MASK& mask) {
  if (ace->AceType != ACCESS_ALLOWED_ACE_TYPE) return false;
  const auto* allowed = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(ace);
  sid = const_cast<DWORD*>(&allowed->SidStart);
  mask = allowed->Mask;
  return true;
}

// An explicit entry that allows `trustee` more than `at_most`.
bool ExplicitGrantBeyond(const ACE_HEADER* ace, PSID trustee, ACCESS_MASK at_most) {
  PSID sid = nullptr;
  ACCESS_MASK mask = 0;
  return !Inherited(ace) && Allowed(ace, sid, mask) && EqualSid(sid, trustee) &&
         (mask & ~at_most) != 0;
}

// `current`'s explicit entries except those `drop` picks, then `added`'s entries, then
// `current`'s inherited ones: explicit before inherited, as Windows orders them. Running it
// again with the same `added` and a `drop` that picks those entries changes nothing.
class MergedAcl {
 public:
  MergedAcl(PACL current, PACL added, const std::function<bool(const ACE_HEADER*)>& drop) {
    std::vector<const ACE_HEADER*> kept;
    for (const ACE_HEADER* ace : Entries(current)) {
      if (Inherited(ace)) continue;
      if (drop(ace)) {
        ++dropped_;
      } else {
        kept.push_back(ace);
      }
    }
    for (const ACE_HEADER* ace : Entries(added))
      kept.push_back(ace);
    for (const ACE_HEADER* ace : Entries(current)) {
      if (Inherited(ace)) kept.push_back(ace);
    }
    DWORD size = sizeof(ACL);
    for (const ACE_HEADER* ace : kept)
      size += ace->AceSize;
    buffer_.assign((size + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
    ok_ = InitializeAcl(get(), size, ACL_REVISION) != FALSE;
    for (const ACE_HEADER* ace : kept) {
      ok_ = ok_ && AddAce(get(), ACL_REVISION, MAXDWORD, const_cast<ACE_HEADER*>(ace),
                          ace->AceSize) != FALSE;
    }
  }
  bool ok() const { return ok_; }
  PACL get() { return reinterpret_cast<PACL>(buffer_.data()); }
  int dropped() const { return dropped_; }

 private:
  std::vector<DWORD> buffer_;  // DWORD-aligned, as an ACL must be
  bool ok_ = false;
  int dropped_ = 0;
};

// The access list as SDDL, for the log: Wine keeps no folder's list, so the tests read what was
// applied here.
std::string DaclText(PACL dacl, bool protect) {
  SECURITY_DESCRIPTOR descriptor{};
  ScopedLocalMemory<LPSTR> text;
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&descriptor, TRUE, dacl, FALSE) ||
      (protect &&
       !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) ||
      !ConvertSecurityDescriptorToStringSecurityDescriptorA(
          &descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, text.put(), nullptr)) {
    return "(cannot be shown)";
  }
  return text.get();
}

struct WellKnownSid {
  explicit WellKnownSid(WELL_KNOWN_SID_TYPE type) {
    DWORD size = sizeof bytes;
    ok = CreateWellKnownSid(type, nullptr, bytes, &size) != FALSE;
  }
  PSID get() { return bytes; }
  BYTE bytes[SECURITY_MAX_SID_SIZE] = {};
  bool ok = false;
};

// Takes out `object`'s explicit entries that `drop` picks and puts in `added`'s (may be null);
// inherited entries stay inherited. Writes the list only when that changes it. The entries taken
// out are counted in `dropped`, the list in force is put in `text` (SDDL), each when asked.
DWORD ChangeDacl(HANDLE object, SE_OBJECT_TYPE type, const char* base_aces, PACL added,
                 const std::function<bool(const ACE_HEADER*)>& drop, int* dropped = nullptr,
                 std::string* text = nullptr) {
  ScopedLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
  PACL current = nullptr;
  DWORD error = GetSecurityInfo(object, type, DACL_SECURITY_INFORMATION, nullptr, nullptr, &current,
                                nullptr, descriptor.put());
  if (error != ERROR_SUCCESS) return error;
  Sddl base;
  const bool missing = current == nullptr;
  if (missing) {
    if (!Parse(std::string("D:") + base_aces, base)) return GetLastError();
    current = base.dacl;
  }
  MergedAcl updated(current, added, drop);
  if (!updated.ok()) return GetLastError();
  if (missing || added != nullptr || updated.dropped() != 0) {
    error = SetSecurityInfo(object, type,
                            DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                            nullptr, nullptr, updated.get(), nullptr);
    if (error != ERROR_SUCCESS) return error;
  }
  if (dropped != nullptr) *dropped = updated.dropped();
  if (text != nullptr) *text = DaclText(updated.get(), false);
  return ERROR_SUCCESS;
}

// Older versions gave the Users group full access on General, including its access list and
// owner: taken back at every installation (the root key's entry covers General now).
int RevokeGeneralFullAccess(PSID users) {
  ScopedRegKey key;
  LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, schema::kGeneralKey, 0,
                             READ_CONTROL | WRITE_DAC | KEY_WOW64_64KEY, key.put());
  if (error == ERROR_FILE_NOT_FOUND) return 0;
  if (error != ERROR_SUCCESS) return Fail("Opening the General settings key", error);
  int dropped = 0;
  error = static_cast<LONG>(ChangeDacl(
      key.get(), SE_REGISTRY_KEY, kKeyBaseAces, nullptr,
      [users](const ACE_HEADER* ace) { return ExplicitGrantBeyond(ace, users, KEY_READ); },
      &dropped));
  if (error != ERROR_SUCCESS) return Fail("Changing General's access list", error);
  if (dropped > 0)
    Print("Software\\ZorvikTouchParam\\General: the Users group's own full access removed\n");
  return 0;
}

int GrantSettings() {
  WellKnownSid interactive(WinInteractiveSid);
  WellKnownSid users(WinBuiltinUsersSid);
  Sddl wanted;
  if (!interactive.ok || !users.ok || !Parse(std::string("D:") + kSettingsKeyAces, wanted))
    return Fail("Building the settings key's access list", GetLastError());

  ScopedRegKey key;
  LONG error =
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, schema::kRootKey, 0, nullptr, 0,
                      READ_CONTROL | WRITE_DAC | KEY_WOW64_64KEY, nullptr, key.put(), nullptr);
  if (error != ERROR_SUCCESS) return Fail("Opening the settings key", error);
  // The interactive users' entry is replaced, never added twice (each upgrade runs this).
  error = static_cast<LONG>(ChangeDacl(key.get(), SE_REGISTRY_KEY, kKeyBaseAces, wanted.dacl,
                                       [&interactive](const ACE_HEADER* ace) {
                                         return ExplicitGrantBeyond(ace, interactive.get(), 0);
                                       }));
  if (error != ERROR_SUCCESS) return Fail("Changing the settings key's access list", error);
  Print(
      "Software\\ZorvikTouchParam: interactive users may read, set values, create and delete "
      "subkeys\n");
  return RevokeGeneralFullAccess(users.get());
}

// Opens a folder to read and change its access list, never through a link: a folder that a user
// made (ProgramData and a drive's root let users create folders) into a junction would hand the
// rights given here to wherever it points.
DWORD OpenFolderForRights(const std::string& folder, ScopedFileHandle& handle) {
  handle.reset(CreateFileA(folder.c_str(), READ_CONTROL | WRITE_DAC,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                           nullptr));
  if (!handle) return GetLastError();
  BY_HANDLE_FILE_INFORMATION facts{};
  if (!GetFileInformationByHandle(handle.get(), &facts)) return GetLastError();
  if ((facts.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
      (facts.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    handle.reset();
    return ERROR_CANT_ACCESS_FILE;
  }
  return ERROR_SUCCESS;
}

int FolderFail(const std::string& folder, DWORD error) {
  if (error == ERROR_CANT_ACCESS_FILE) {
    Print("%s is a link or not a folder: its rights are left alone\n", folder.c_str());
    return 1;
  }
  return Fail(("Opening " + folder).c_str(), error);
}

int PrepareDataFolder() {
  // Never a fallback folder: users' modify access must land on this folder or nowhere.
  const std::optional<std::string> found = ServiceDataFolder();
  if (!found) return Fail("Finding the common data folder", ERROR_PATH_NOT_FOUND);
  const std::string& folder = *found;
  ScopedFileHandle handle;
  DWORD error = OpenFolderForRights(folder, handle);
  if (error != ERROR_SUCCESS) return FolderFail(folder, error);
  WellKnownSid users(WinBuiltinUsersSid);
  Sddl wanted;
  if (!users.ok || !Parse(std::string("D:") + kDataFolderAces, wanted))
    return Fail("Building the data folder's access list", GetLastError());
  std::string text;
  error = ChangeDacl(
      handle.get(), SE_FILE_OBJECT, kFolderBaseAces, wanted.dacl,
      [&users](const ACE_HEADER* ace) { return ExplicitGrantBeyond(ace, users.get(), 0); }, nullptr,
      &text);
  if (error != ERROR_SUCCESS) return Fail("Changing the data folder's access list", error);
  Print("Service logs and captures: %s (users may write)\n", folder.c_str());
  Print("%s: %s\n", folder.c_str(), text.c_str());
  return 0;
}

// Whether `path` is `folder` or below it (no regard to case).
bool Within(const std::string& path, const char* folder) {
  const std::size_t length = std::strlen(folder);
  if (length == 0 || path.size() < length) return false;
  if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.data(), static_cast<int>(length),
                     folder, static_cast<int>(length)) != CSTR_EQUAL) {
    return false;
  }
  return path.size() == length || path[length] == '\\' || folder[length - 1] == '\\';
}

bool InsideProgramFiles(const std::string& path) {
  for (const int id : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86}) {
    char folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, folder)) &&
        Within(path, folder)) {
      return true;
    }
  }
  return false;
}

// The absolute form of `path`, ".." and "." resolved, so that "C:\Program Files\..\Apps" is not
// taken for a folder inside Program Files.
std::optional<std::string> FullPath(const std::string& path) {
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  return std::string(full, length);
}

int SecureFolder(const std::string& given) {
  const std::optional<std::string> full = FullPath(given);
  if (!full) return Fail(("Finding " + given).c_str(), ERROR_BAD_PATHNAME);
  const std::string& folder = *full;
  ScopedFileHandle handle;
  const DWORD opened = OpenFolderForRights(folder, handle);
  if (opened != ERROR_SUCCESS) return FolderFail(folder, opened);
  if (InsideProgramFiles(folder)) {
    Print("%s: inside Program Files, whose rights it inherits\n", folder.c_str());
    return 0;
  }
  Sddl wanted;
  if (!Parse(kInstallFolderSddl, wanted))
    return Fail("Building the installation folder's access list", GetLastError());
  // Protected: the entries of the folder above (a custom folder's parent often lets
  // authenticated users modify) no longer reach the programs.
  const DWORD error = SetSecurityInfo(
      handle.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
      nullptr, nullptr, wanted.dacl, nullptr);
  if (error != ERROR_SUCCESS) return Fail("Writing the installation folder's access list", error);
  Print("%s: the rights of Program Files (users may read and run, not change)\n", folder.c_str());
  Print("%s: %s\n", folder.c_str(), DaclText(wanted.dacl, true).c_str());
  return 0;
}

int PrintDacl(HANDLE object, SE_OBJECT_TYPE type) {
  ScopedLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
  const DWORD error = GetSecurityInfo(object, type, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      nullptr, nullptr, descriptor.put());
  if (error != ERROR_SUCCESS) return Fail("Reading the access list", error);
  ScopedLocalMemory<LPSTR> text;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor.get(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, text.put(), nullptr)) {
    return Fail("Printing the access list", GetLastError());
  }
  Print("%s\n", text.get());
  return 0;
}

int ShowKeyAcl(const char* subkey) {
  std::string path = schema::kRootKey;
  if (subkey != nullptr) path = path + "\\" + subkey;
  ScopedRegKey key;
  const LONG error =
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, READ_CONTROL | KEY_WOW64_64KEY, key.put());
  if (error != ERROR_SUCCESS) return Fail(("Opening " + path).c_str(), error);
  return PrintDacl(key.get(), SE_REGISTRY_KEY);
}

int ShowFolderAcl(const char* folder) {
  const ScopedFileHandle handle(
      CreateFileA(folder, READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return Fail((std::string("Opening ") + folder).c_str(), GetLastError());
  return PrintDacl(handle.get(), SE_FILE_OBJECT);
}

int PrintSddl() {
  Print("settings key: D:%s\ndata folder: D:%s\ninstallation folder: %s\n", kSettingsKeyAces,
        kDataFolderAces, kInstallFolderSddl);
  return 0;
}

std::wstring Wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(length > 0 ? length : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
  wide.resize(wide.size() - 1);
  return wide;
}

// The services start from the Run key as whoever signs in, with that user's standard token. The
// setup program is elevated (or runs as another administrator, or in session 0 under a deployment
// tool): started from it they would hold its rights until the next logoff. So they start with the
// token of the signed-in user's shell, the way Microsoft shows for starting an unelevated
// program from an elevated one, and not at all when this desktop has no shell.
int StartServices(const std::string& folder) {
  const HWND shell = GetShellWindow();
  if (shell == nullptr) {
    Print("No signed-in desktop user: Usblink.exe and Serlink.exe start at the next logon\n");
    return 0;
  }
  DWORD shell_pid = 0;
  GetWindowThreadProcessId(shell, &shell_pid);
  const ScopedKernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, shell_pid));
  if (!process) return Fail("Opening the desktop shell's process", GetLastError());
  HANDLE raw = nullptr;
  if (!OpenProcessToken(process.get(), TOKEN_DUPLICATE, &raw))
    return Fail("Opening the desktop shell's token", GetLastError());
  const ScopedKernelHandle shell_token(raw);
  raw = nullptr;
  if (!DuplicateTokenEx(shell_token.get(),
                        TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY |
                            TOKEN_ADJUST_DEFAULT | TOKEN_ADJUST_SESSIONID,
                        nullptr, SecurityImpersonation, TokenPrimary, &raw)) {
    return Fail("Copying the desktop shell's token", GetLastError());
  }
  const ScopedKernelHandle token(raw);
  int result = 0;
  for (const Service& service : kServices) {
    const std::string program = folder + "\\" + service.image;
    std::wstring command = Wide("\"" + program + "\"");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessWithTokenW(token.get(), 0, Wide(program).c_str(), command.data(), 0, nullptr,
                                 Wide(folder).c_str(), &startup, &started)) {
      Print(
          "%s could not be started as the signed-in user (error %lu); it starts at the next "
          "logon\n",
          service.image, GetLastError());
      result = 1;
      continue;
    }
    const ScopedKernelHandle thread(started.hThread);
    const ScopedKernelHandle child(started.hProcess);
    Print(
        "%s started as the signed-in user (process %lu, with the token of the desktop shell, "
        "process %lu)\n",
        service.image, started.dwProcessId, shell_pid);
  }
  return result;
}

// drvsetup looks for the INF files in its working folder: both are this program's folder. Its
// exit code says nothing (always 1), its lines do: they go where ours go, through a file of their
// own, since under Wine a handle the child inherits may stay open a moment after it has ended,
// and the setup program reads our log as soon as we end.
int RunDrvsetup() {
  char folder[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return Fail("Finding the installation folder", GetLastError());
  *std::strrchr(folder, '\\') = '\0';
  const std::string program = std::string(folder) + "\\drvsetup.exe";
  std::string command = "\"" + program + "\"";

  char temp_folder[MAX_PATH];
  char capture_path[MAX_PATH];
  if (GetTempPathA(MAX_PATH, temp_folder) == 0 ||
      GetTempFileNameA(temp_folder, "zts", 0, capture_path) == 0) {
    return Fail("Creating a file for drvsetup's output", GetLastError());
  }
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const ScopedFileHandle capture(
      CreateFileA(capture_path, GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!capture) return Fail("Creating a file for drvsetup's output", GetLastError());

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdOutput = capture.get();
  startup.hStdError = capture.get();
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                      nullptr, folder, &startup, &process)) {
    return Fail("Starting drvsetup.exe", GetLastError());
  }
  const ScopedKernelHandle thread(process.hThread);
  const ScopedKernelHandle child(process.hProcess);
  const bool ended = WaitForSingleObject(child.get(), kDrvsetupTimeoutMs) == WAIT_OBJECT_0;

  // The child wrote through the same file object: its lines start at the beginning.
  SetFilePointer(capture.get(), 0, nullptr, FILE_BEGIN);
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(capture.get(), chunk, sizeof chunk, &got, nullptr) && got > 0) {
    DWORD written = 0;
    WriteFile(g_output, chunk, got, &written, nullptr);
  }
  if (!ended) {
    Print("\ndrvsetup.exe did not end within %lu s\n", kDrvsetupTimeoutMs / 1000);
    return 1;
  }
  DWORD code = 0;
  GetExitCodeProcess(child.get(), &code);
  Print("\ndrvsetup.exe ended (exit code %lu)\n", code);
  return 0;
}

// --log FILE: the lines are appended to FILE.
HANDLE OpenLog(const char* path) {
  return CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  ScopedFileHandle log;
  if (argc >= 3 && std::strcmp(argv[1], "--log") == 0) {
    log.reset(OpenLog(argv[2]));
    if (!log) {
      std::fprintf(stderr, "setuphelp: cannot open %s (error %lu)\n", argv[2], GetLastError());
      return 1;
    }
    g_output = log.get();
    first = 3;
  } else {
    g_output = GetStdHandle(STD_OUTPUT_HANDLE);
  }
  const int count = argc - first;
  char** args = argv + first;
  if (count >= 1 && std::strcmp(args[0], "stop-services") == 0 && count <= 2) {
    DWORD timeout_ms = kDefaultStopTimeoutMs;
    if (count == 2) {
      char* end = nullptr;
      timeout_ms = static_cast<DWORD>(std::strtoul(args[1], &end, 10));
      if (end == args[1] || *end != '\0') return Usage();
    }
    return StopServices(timeout_ms);
  }
  if (count == 2) {
    if (std::strcmp(args[0], "start-services") == 0) return StartServices(args[1]);
    if (std::strcmp(args[0], "secure-folder") == 0) return SecureFolder(args[1]);
    if (std::strcmp(args[0], "show-key-acl") == 0) return ShowKeyAcl(args[1]);
    if (std::strcmp(args[0], "show-folder-acl") == 0) return ShowFolderAcl(args[1]);
    return Usage();
  }
  if (count != 1) return Usage();
  if (std::strcmp(args[0], "grant-settings") == 0) return GrantSettings();
  if (std::strcmp(args[0], "prepare-data-folder") == 0) return PrepareDataFolder();
  if (std::strcmp(args[0], "show-key-acl") == 0) return ShowKeyAcl(nullptr);
  if (std::strcmp(args[0], "print-sddl") == 0) return PrintSddl();
  if (std::strcmp(args[0], "run-drvsetup") == 0) return RunDrvsetup();
  return Usage();
}
