// The support bundle.
#include "tools/touchctl/support_bundle_win32.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "common/kernel_object_names.h"
#include "common/registry_settings_store_win32.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "common/win32/handle_win32.h"
#include "common/win32/service_log_win32.h"
#include "common/win32/system_win32.h"

namespace zorvik {
namespace {

constexpr DWORD kCaptureSeconds = 10;
// The services end a capture by themselves; beyond this the bundle stops waiting for them.
constexpr DWORD kCaptureGraceMs = 20000;
// The capture's progress is checked and reported once a second.
constexpr DWORD kProgressPeriodMs = 1000;
constexpr DWORD kChildLimitMs = 60000;
constexpr char kRateMs[] = "5000";
constexpr char kBeamsMs[] = "10000";
constexpr const char* kPrograms[] = {"Usblink.exe", "Serlink.exe", "Orbisk.exe", "Clicktog.exe",
                                     "drvsetup.exe"};
constexpr const char* kServiceLogs[] = {"Usblink.log", "Serlink.log"};
// A kiosk's log may hold years of lines: the bundle takes the newest this many bytes of each.
constexpr LONGLONG kLogTailBytes = 1 << 20;

constexpr int kSteps = 8;

void Progress(int step, const std::string& text) {
  std::printf("[%d/%d] %s\n", step, kSteps, text.c_str());
}

// Runs `command_line`, its standard output into `output` (none when empty); its exit code, or
// nothing when it could not be started or did not end in time.
std::optional<DWORD> RunChild(std::string command_line, const std::string& output) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  ScopedFileHandle out;
  if (!output.empty()) {
    out.reset(CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return std::nullopt;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (out) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out.get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return std::nullopt;
  }
  const ScopedKernelHandle thread(process.hThread);
  const ScopedKernelHandle child(process.hProcess);
  if (WaitForSingleObject(child.get(), kChildLimitMs) != WAIT_OBJECT_0) {
    TerminateProcess(child.get(), 1);
    return std::nullopt;
  }
  DWORD code = 1;
  GetExitCodeProcess(child.get(), &code);
  return code;
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

std::string Self() {
  return ProgramFolder() + "\\" + ProgramName() + ".exe";
}

// touchctl's own command, its output into `file`.
bool RunOwn(const std::string& arguments, const std::string& file) {
  const auto code = RunChild(Quoted(Self()) + " " + arguments, file);
  return code && *code == 0;
}

std::optional<std::int32_t> CaptureSecondsNow(RegistrySettingsStore& store) {
  const ScopedKey key =
      OpenKey(store, store.LocalMachine(), schema::kDiagnosticsKey, key_rights::kRead);
  if (!key) return std::nullopt;
  return ReadInt(store, key.get(), schema::kCaptureSeconds);
}

void SetBothSetupChanges() {
  for (const char* name : {names::kUsbSetupChangeEventGlobal, names::kUsbSetupChangeEvent,
                           names::kSerialSetupChangeEvent}) {
    const ScopedKernelHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
    if (event) SetEvent(event.get());
  }
}

// Asks both services for a capture into FOLDER\Capture and waits until they have ended it.
bool Capture(const std::string& folder) {
  RegistrySettingsStore store;
  const ScopedKey key =
      CreateKey(store, store.LocalMachine(), schema::kDiagnosticsKey, key_rights::kReadWrite);
  if (!key) return false;
  const auto previous_folder = ReadText(store, key.get(), schema::kCaptureFolder);
  WriteText(store, key.get(), schema::kCaptureFolder, folder + "\\Capture");
  WriteDword(store, key.get(), schema::kCaptureSeconds, kCaptureSeconds);
  SetBothSetupChanges();
  const ULONGLONG end = GetTickCount64() + kCaptureSeconds * 1000 + kCaptureGraceMs;
  bool ended = false;
  for (DWORD second = 1; GetTickCount64() < end; ++second) {
    Sleep(kProgressPeriodMs);
    if (CaptureSecondsNow(store).value_or(0) == 0) {
      ended = true;
      break;
    }
    if (second <= kCaptureSeconds) std::printf("      %lu of %lu s\n", second, kCaptureSeconds);
  }
  if (previous_folder) {
    WriteText(store, key.get(), schema::kCaptureFolder, previous_folder->view());
  } else {
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, schema::kDiagnosticsKey, schema::kCaptureFolder);
  }
  if (!ended) WriteDword(store, key.get(), schema::kCaptureSeconds, 0);
  return ended;
}

std::string FileFacts(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return "not found";
  SYSTEMTIME written{};
  FileTimeToSystemTime(&data.ftLastWriteTime, &written);
  char text[160];
  std::snprintf(text, sizeof text, "%llu bytes, written %04u-%02u-%02uT%02u:%02u:%02uZ",
                (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                written.wYear, written.wMonth, written.wDay, written.wHour, written.wMinute,
                written.wSecond);
  return text;
}

// Where the programs are: TargetDir, else touchctl's own folder.
std::string ProgramsFolder() {
  RegistrySettingsStore store;
  if (const ScopedKey key =
          OpenKey(store, store.LocalMachine(), schema::kProgramKey, key_rights::kRead)) {
    if (const auto folder = ReadText(store, key.get(), schema::kTargetDir)) {
      if (!folder->view().empty()) return std::string(folder->view());
    }
  }
  return ProgramFolder();
}

// Copies the newest kLogTailBytes of the log at `from` to `to`, from the first whole line on, after
// a line saying how much was left out. A log that does not exist (its service never ran, or the
// data folder was never made) is no failure and leaves no file.
bool CopyLogTail(const std::string& from, const std::string& to) {
  // The service opens its log for each line, sharing reading only: this handle must share writing.
  const ScopedFileHandle log(CreateFileA(from.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!log) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(log.get(), &size)) return false;
  const LONGLONG start = size.QuadPart > kLogTailBytes ? size.QuadPart - kLogTailBytes : 0;
  LARGE_INTEGER offset{};
  offset.QuadPart = start;
  if (!SetFilePointerEx(log.get(), offset, nullptr, FILE_BEGIN)) return false;
  std::string text(static_cast<std::size_t>(size.QuadPart - start), '\0');
  DWORD read = 0;
  if (!ReadFile(log.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr))
    return false;
  text.resize(read);
  std::ofstream out(to, std::ios::binary);
  if (start > 0) {
    const std::size_t line = text.find('\n');
    const std::size_t kept = line == std::string::npos ? text.size() : line + 1;
    out << "(the oldest " << start + static_cast<LONGLONG>(kept) << " bytes are left out)\r\n";
    text.erase(0, kept);
  }
  out << text;
  return static_cast<bool>(out.flush());
}

bool CopyServiceLogs(const std::string& folder) {
  const std::optional<std::string> data = ServiceDataFolderName();
  if (!data) return false;
  bool copied = true;
  for (const char* name : kServiceLogs)
    copied = CopyLogTail(*data + "\\" + name, folder + "\\" + name) && copied;
  return copied;
}

bool WriteVersions(const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  const std::string folder = ProgramsFolder();
  out << "programs in " << folder << "\r\n";
  for (const char* program : kPrograms) {
    out << program << ": " << FileFacts(folder + "\\" + program) << "\r\n";
  }
  return static_cast<bool>(out.flush());
}

// The controllers' interface paths by captured file, for the replay commands.
std::vector<std::pair<std::string, std::string>> CapturedUsbFiles(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  RegistrySettingsStore store;
  for (int number = 1; number <= schema::kMaxNumberedNames; ++number) {
    char name[16];
    std::snprintf(name, sizeof name, "USB%02d.txt", number);
    const std::string file = folder + "\\Capture\\" + name;
    if (GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES) break;
    std::string path;
    if (const ScopedKey key =
            OpenKey(store, store.LocalMachine(),
                    schema::NumberedName(schema::kUsbDeviceKeyFormat, number), key_rights::kRead)) {
      if (const auto id = ReadText(store, key.get(), schema::kUsbId)) path = id->view();
    }
    files.emplace_back(std::string("Capture\\") + name, path);
  }
  return files;
}

bool WriteReadme(const std::string& folder) {
  std::ofstream out(folder + "\\README.txt", std::ios::binary);
  char screen[96];
  std::snprintf(screen, sizeof screen, "--screen %dx%d --double-click-time %u",
                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), GetDoubleClickTime());
  out << "Touch screen support bundle\r\n\r\n"
      << "settings.reg    the registry under HKLM\\Software\\ZorvikTouchParam\r\n"
      << "devices.json    the device lists of both services (touchctl list)\r\n"
      << "Capture\\        10 s of every controller's stream, in the replay language\r\n"
      << "rate.txt        report rate and timing (touchctl rate)\r\n"
      << "beams.txt, beams.svg   blocked and dead beams (touchctl beams)\r\n"
      << "Usblink.log, Serlink.log   the services' logs, the newest 1 MB of each\r\n"
      << "versions.txt    the programs' files\r\n\r\n"
      << "Replay a USB controller's capture offline, with this machine's settings:\r\n\r\n";
  for (const auto& [file, path] : CapturedUsbFiles(folder)) {
    out << "  touchreplay --reg settings.reg " << screen
        << (path.empty() ? "" : " --device-path \"" + path + "\"") << " " << file << "\r\n";
  }
  out << "\r\nA serial controller's capture (Capture\\SerialCOMn.txt) replays with\r\n"
      << "  touchreplay --reg settings.reg --serial --port n Capture\\SerialCOMn.txt\r\n\r\n"
      << "The replay prints the pointer records the service wrote during the capture.\r\n";
  return static_cast<bool>(out.flush());
}

}  // namespace

int SupportBundle(const char* folder_arg) {
  const std::string folder(folder_arg);
  CreateDirectoryA(folder.c_str(), nullptr);
  if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::fprintf(stderr, "touchctl: cannot create %s\n", folder.c_str());
    return 1;
  }
  std::vector<std::string> failed;
  const auto step = [&](int number, const std::string& text, bool ok) {
    Progress(number, text + (ok ? "" : ": FAILED"));
    if (!ok) failed.push_back(text);
  };
  step(1, "settings.reg",
       RunChild("reg.exe export HKLM\\Software\\ZorvikTouchParam " +
                    Quoted(folder + "\\settings.reg") + " /y",
                "") == DWORD{0});
  step(2, "devices.json", RunOwn("list", folder + "\\devices.json"));
  Progress(3, "capture of every controller for 10 s: touch and sweep the screen now");
  step(3, "Capture", Capture(folder));
  Progress(4, "report rate for 5 s: keep touching");
  step(4, "rate.txt", RunOwn(std::string("rate ") + kRateMs, folder + "\\rate.txt"));
  Progress(5, "beams for 10 s: sweep every edge of the screen");
  step(5, "beams.txt, beams.svg",
       RunOwn(std::string("beams ") + kBeamsMs + " --svg " + Quoted(folder + "\\beams.svg"),
              folder + "\\beams.txt"));
  step(6, "Usblink.log, Serlink.log", CopyServiceLogs(folder));
  step(7, "versions.txt", WriteVersions(folder + "\\versions.txt"));
  step(8, "README.txt", WriteReadme(folder));
  if (failed.empty()) {
    std::printf("bundle complete: %s\n", folder.c_str());
    return 0;
  }
  std::ofstream note(folder + "\\FAILED.txt", std::ios::binary);
  for (const std::string& what : failed)
    note << what << "\r\n";
  std::fprintf(stderr, "touchctl: bundle incomplete (%zu step(s) failed, see FAILED.txt)\n",
               failed.size());
  return 1;
}

}  // namespace zorvik
