// setupkit: what the setup tests need of Windows that Wine does not give. Wine has no shell
// window (GetShellWindow is null), and every Wine process holds the full administrator token.
//   setupkit shell SECONDS       be the signed-in user's desktop shell for SECONDS: the limited
//                                linked token, as a user's shell has under UAC, and the shell
//                                window (prints "shell ready PID" once it is)
//   setupkit set-key-acl SUBKEY SDDL  give HKLM\Software\ZorvikTouchParam\SUBKEY the access
//                                list SDDL (what an older setup left, say)
#include <windows.h>
// Needs windows.h first.
#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/settings_schema.h"
#include "common/win32/handle_win32.h"

namespace {

using zorvik::ScopedKernelHandle;

bool ElevationOf(HANDLE process, TOKEN_ELEVATION_TYPE& type) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) return false;
  const ScopedKernelHandle token(raw);
  DWORD size = 0;
  return GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &size) != FALSE;
}

// Started with the full token: the same command again with the limited one, waited for.
int RelaunchLimited(const char* seconds) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return 1;
  const ScopedKernelHandle token(raw);
  TOKEN_LINKED_TOKEN linked{};
  DWORD size = 0;
  if (!GetTokenInformation(token.get(), TokenLinkedToken, &linked, sizeof linked, &size)) {
    std::fprintf(stderr, "setupkit: no linked token (error %lu)\n", GetLastError());
    return 1;
  }
  const ScopedKernelHandle limited(linked.LinkedToken);
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string command = std::string("\"") + self + "\" shell " + seconds;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessAsUserA(limited.get(), self, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            nullptr, &startup, &started)) {
    std::fprintf(stderr, "setupkit: cannot start with the limited token (error %lu)\n",
                 GetLastError());
    return 1;
  }
  const ScopedKernelHandle thread(started.hThread);
  const ScopedKernelHandle child(started.hProcess);
  WaitForSingleObject(child.get(), INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(child.get(), &code);
  return static_cast<int>(code);
}

int BeShell(const char* seconds) {
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  if (!ElevationOf(GetCurrentProcess(), type)) return 1;
  if (type == TokenElevationTypeFull) return RelaunchLimited(seconds);

  using SetShellWindowFn = BOOL(WINAPI*)(HWND);
  const auto set_shell_window = reinterpret_cast<SetShellWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetShellWindow")));
  const HWND window = CreateWindowExA(0, "STATIC", "shell stand-in", WS_POPUP, 0, 0, 1, 1, nullptr,
                                      nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr || set_shell_window == nullptr || !set_shell_window(window)) {
    std::fprintf(stderr, "setupkit: cannot become the shell window (error %lu)\n", GetLastError());
    return 1;
  }
  std::printf("shell ready %lu\n", GetCurrentProcessId());
  std::fflush(stdout);
  const ULONGLONG end = GetTickCount64() + std::strtoul(seconds, nullptr, 10) * 1000ull;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&message);
  }
  DestroyWindow(window);
  return 0;
}

int SetKeyAcl(const char* subkey, const char* sddl) {
  const std::string path = std::string(zorvik::schema::kRootKey) + "\\" + subkey;
  zorvik::ScopedRegKey key;
  zorvik::ScopedLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
  LONG error = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                               WRITE_DAC | KEY_WOW64_64KEY, nullptr, key.put(), nullptr);
  if (error == ERROR_SUCCESS && !ConvertStringSecurityDescriptorToSecurityDescriptorA(
                                    sddl, SDDL_REVISION_1, descriptor.put(), nullptr)) {
    error = static_cast<LONG>(GetLastError());
  }
  if (error == ERROR_SUCCESS)
    error = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor.get());
  if (error != ERROR_SUCCESS)
    std::fprintf(stderr, "setupkit: %s: error %ld\n", path.c_str(), error);
  return error == ERROR_SUCCESS ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "shell") == 0) return BeShell(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "set-key-acl") == 0) return SetKeyAcl(argv[2], argv[3]);
  std::fputs("usage: setupkit shell SECONDS | set-key-acl SUBKEY SDDL\n", stderr);
  return 2;
}
