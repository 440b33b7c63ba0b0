// setuphelp: the two things the setup program and its uninstaller need from Windows that their
// script cannot do by itself: ending both touch services, and opening the General settings key
// to every local user (Clicktog writes it without elevation).
//   setuphelp stop-services [MS]   set each running service's exit event, then wait up to MS ms
//                                  (default 10000) for the service processes to end
//   setuphelp grant-general        create Software\ZorvikTouchParam\General when missing and give
//                                  the local Users group full access to it
//   setuphelp show-general-acl     print the key's access list (SDDL), for support
//   setuphelp run-drvsetup         run drvsetup.exe of this folder in this folder, its output
//                                  with ours
// Lines go to standard output, or with `--log FILE` first to the end of FILE: the setup program
// reads that file into its log (under Wine, output captured through a pipe went missing now and
// then). Built for the windows subsystem, so that the setup program opens no console for it.
// Exit code 0 when done, 1 when a service is still running at the time-out, the key cannot be
// changed or drvsetup cannot be run, 2 for bad usage.
#include <windows.h>
// These need windows.h first.
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/kernel_object_names.h"
#include "common/settings_schema.h"
#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"

namespace {

using namespace zorvik;

constexpr char kUsage[] =
    "usage: setuphelp [--log FILE] stop-services [MS] | grant-general | show-general-acl |\n"
    "                              run-drvsetup\n";
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

class ScopedKey {
 public:
  ScopedKey() = default;
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  ~ScopedKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  HKEY get() const { return key_; }
  HKEY* put() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

// LocalAlloc'ed results of the security calls.
template <typename T>
class ScopedLocal {
 public:
  ScopedLocal() = default;
  ScopedLocal(const ScopedLocal&) = delete;
  ScopedLocal& operator=(const ScopedLocal&) = delete;
  ~ScopedLocal() {
    if (memory_ != nullptr) LocalFree(memory_);
  }
  T get() const { return memory_; }
  T* put() { return &memory_; }

 private:
  T memory_ = nullptr;
};

int Fail(const char* what, DWORD error) {
  Print("%s failed (error %lu)\n", what, error);
  return 1;
}

// Whether `dacl` already lets `sid` open the key and its subkeys with full access.
bool GrantsFullAccess(PACL dacl, PSID sid) {
  ACL_SIZE_INFORMATION size{};
  if (!GetAclInformation(dacl, &size, sizeof size, AclSizeInformation)) return false;
  for (DWORD i = 0; i < size.AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    if ((allowed->Header.AceFlags & INHERIT_ONLY_ACE) != 0 ||
        (allowed->Header.AceFlags & CONTAINER_INHERIT_ACE) == 0) {
      continue;
    }
    if ((allowed->Mask & KEY_ALL_ACCESS) != KEY_ALL_ACCESS) continue;
    if (EqualSid(const_cast<DWORD*>(&allowed->SidStart), sid)) return true;
  }
  return false;
}

int GrantGeneral() {
  ScopedKey key;
  LONG error =
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, schema::kGeneralKey, 0, nullptr, 0,
                      READ_CONTROL | WRITE_DAC | KEY_WOW64_64KEY, nullptr, key.put(), nullptr);
  if (error != ERROR_SUCCESS) return Fail("Opening the General settings key", error);

  PACL current = nullptr;
  ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
  error = GetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          &current, nullptr, descriptor.put());
  if (error != ERROR_SUCCESS) return Fail("Reading the key's access list", error);
  // A key without an access list is open to everybody; the new list must not shut out the
  // system and the administrators, which is what adding one entry to "nothing" would do.
  ScopedLocal<PSECURITY_DESCRIPTOR> base;
  if (current == nullptr) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            "D:(A;CI;KA;;;SY)(A;CI;KA;;;BA)", SDDL_REVISION_1, base.put(), nullptr) ||
        !GetSecurityDescriptorDacl(base.get(), &present, &current, &defaulted)) {
      return Fail("Building an access list", GetLastError());
    }
  }

  BYTE users[SECURITY_MAX_SID_SIZE];
  DWORD users_size = sizeof users;
  if (!CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &users_size)) {
    return Fail("Naming the Users group", GetLastError());
  }
  // Each upgrade runs this again; Wine's SetEntriesInAcl would add the same entry once more.
  if (GrantsFullAccess(current, users)) {
    Print("Software\\ZorvikTouchParam\\General: the Users group has full access\n");
    return 0;
  }
  EXPLICIT_ACCESS_A grant{};
  // Full access: Clicktog and the services open the key with KEY_ALL_ACCESS.
  grant.grfAccessPermissions = KEY_ALL_ACCESS;
  grant.grfAccessMode = GRANT_ACCESS;
  grant.grfInheritance = SUB_CONTAINERS_ONLY_INHERIT;  // keys have no "objects"
  grant.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  grant.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  grant.Trustee.ptstrName = reinterpret_cast<LPSTR>(users);
  ScopedLocal<PACL> updated;
  error = SetEntriesInAclA(1, &grant, current, updated.put());
  if (error != ERROR_SUCCESS) return Fail("Adding the Users group to the access list", error);
  error = SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          updated.get(), nullptr);
  if (error != ERROR_SUCCESS) return Fail("Writing the key's access list", error);
  Print("Software\\ZorvikTouchParam\\General: full access for the Users group\n");
  return 0;
}

int ShowGeneralAcl() {
  ScopedKey key;
  const LONG error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, schema::kGeneralKey, 0,
                                   READ_CONTROL | KEY_WOW64_64KEY, key.put());
  if (error != ERROR_SUCCESS) return Fail("Opening the General settings key", error);
  ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
  const DWORD read = GetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr,
                                     nullptr, nullptr, nullptr, descriptor.put());
  if (read != ERROR_SUCCESS) return Fail("Reading the key's access list", read);
  ScopedLocal<LPSTR> text;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor.get(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION, text.put(), nullptr)) {
    return Fail("Printing the access list", GetLastError());
  }
  Print("%s\n", text.get());
  return 0;
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
  if (count != 1) return Usage();
  if (std::strcmp(args[0], "grant-general") == 0) return GrantGeneral();
  if (std::strcmp(args[0], "show-general-acl") == 0) return ShowGeneralAcl();
  if (std::strcmp(args[0], "run-drvsetup") == 0) return RunDrvsetup();
  return Usage();
}
