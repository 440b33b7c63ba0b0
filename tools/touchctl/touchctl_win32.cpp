// touchctl: a console tool for support engineers and the system tests.
//   touchctl set usb|serial ROLE [ROLE...]   set the service's events, in order, back to back
//                                    (ROLE: beep|setupchange|rescan|exit|clickchange)
//   touchctl points                  print the point and raw-cell sections now
//   touchctl wait-points [MS]        wait for the next published frame, then print them
//   touchctl serial-watch MS         for MS ms, print the serial section each time it is published
//   touchctl list                    print the USBAcitve and SerialAcitve lists
//   touchctl wait-event NAME [MS]    create (or open) an auto-reset event and wait for it
//   touchctl count-event NAME MS     create (or open) an auto-reset event, count its signals
//   touchctl signal NAME             set an existing event
//   touchctl rate MS                 for MS ms, time the services' point and raw-cell events:
//                                    frames per second, gaps, longest silence (JSON lines, then
//                                    a one-line summary)
//   touchctl beams MS [--svg PATH]   for MS ms, count how often each cell of the raw cell section
//                                    is shadowed; flags blocked and dead beams (a JSON line, then
//                                    a table; the SVG strip to PATH)
//   touchctl beams --frames FILE [--svg PATH]   the same from touchreplay --cell-levels output
//   touchctl bundle FOLDER           settings, device lists, a 10 s capture, rate and beam
//                                    reports and program versions in one folder, with a README
//                                    that says how to replay the capture
//   touchctl calibration [--json]    each monitor's matrix, its errors and when it was made
//   touchctl profile export FILE     every setting and calibration as a .reg file (UTF-16LE)
//   touchctl profile import FILE     the same back, only our keys, names and types, then tell
//                                    both services
// Output is JSON lines; failures are reported on stderr with exit code 1 (2 for bad usage).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/control_event_names.h"
#include "common/kernel_object_names.h"
#include "common/registry_settings_store_win32.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"
#include "serialsvc/serial_protocol.h"
#include "tools/common/beam_report.h"
#include "tools/common/json_text.h"
#include "tools/common/rate_report.h"
#include "tools/common/section_json.h"
#include "tools/touchctl/profile_win32.h"
#include "tools/touchctl/support_bundle_win32.h"
#include "usbsvc/touch_sharing.h"

namespace {

using namespace zorvik;

constexpr char kUsage[] =
    "usage: touchctl set usb|serial beep|setupchange|rescan|exit|clickchange [ROLE...]\n"
    "       touchctl points | touchctl wait-points [MS] | touchctl list\n"
    "       touchctl wait-event NAME [MS] | count-event NAME MS | signal NAME\n"
    "       touchctl serial-watch MS | rate MS\n"
    "       touchctl beams MS [--svg PATH] | beams --frames FILE [--svg PATH]\n"
    "       touchctl bundle FOLDER\n"
    "       touchctl calibration [--json] | profile export FILE | profile import FILE\n";

// The service's event of `role`, set through the first of its names that exists. A name that
// exists but cannot be set is a failure, not a success.
int SetEventByRole(const char* service, const char* role) {
  const bool usb = std::strcmp(service, "usb") == 0;
  if (!usb && std::strcmp(service, "serial") != 0) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  for (const ControlEventName& event : usb ? kUsbControlEvents : kSerialControlEvents) {
    if (std::strcmp(event.role, role) != 0) continue;
    for (const char* name : event.lookup_order()) {
      const ScopedKernelHandle handle(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
      if (!handle) continue;
      if (!SetEvent(handle.get())) {
        std::fprintf(stderr, "touchctl: event %s could not be set (error %lu)\n", name,
                     GetLastError());
        return 1;
      }
      std::printf("{\"set\":%s}\n", JsonString(name).c_str());
      return 0;
    }
    std::fprintf(stderr, "touchctl: event %s of the %s service does not exist\n", role, service);
    return 1;
  }
  std::fputs(kUsage, stderr);
  return 2;
}

// Maps a section read-only; empty when it does not exist.
std::vector<std::uint8_t> ReadSection(const char* name, std::size_t size) {
  std::vector<std::uint8_t> copy;
  const ScopedKernelHandle section(OpenExistingSection(name, FILE_MAP_READ));
  if (!section) return copy;
  const ScopedMappedView view(MapViewOfFile(section.get(), FILE_MAP_READ, 0, 0, size));
  if (view) copy.assign(view.bytes(), view.bytes() + size);
  return copy;
}

int PrintSections() {
  const auto cells = ReadSection(names::kRawCellSection, kRawCellSectionSize);
  const auto points = ReadSection(names::kPointSection, kPointSectionSize);
  if (cells.empty() || points.empty()) {
    std::fprintf(stderr, "touchctl: the multi-touch sections do not exist\n");
    return 1;
  }
  std::printf("%s\n%s\n", RawCellSectionJson(cells).c_str(), PointSectionJson(points).c_str());
  return 0;
}

int WaitPoints(DWORD timeout) {
  const ScopedKernelHandle event(OpenEventA(SYNCHRONIZE, FALSE, names::kPointEventAll));
  if (!event) {
    std::fprintf(stderr, "touchctl: the point event does not exist\n");
    return 1;
  }
  const DWORD woken = WaitForSingleObject(event.get(), timeout);
  if (woken != WAIT_OBJECT_0) {
    std::fprintf(stderr, "touchctl: no frame within %lu ms\n", timeout);
    return 1;
  }
  return PrintSections();
}

// Each signal of the serial point event: the section as it stands right after it.
int WatchSerial(DWORD duration) {
  const ScopedKernelHandle event(OpenEventA(SYNCHRONIZE, FALSE, names::kSerialPointEvent));
  if (!event) {
    std::fprintf(stderr, "touchctl: the serial point event does not exist\n");
    return 1;
  }
  std::printf("{\"watching\":%s}\n", JsonString(names::kSerialPointEvent).c_str());
  const ULONGLONG end = GetTickCount64() + duration;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    if (WaitForSingleObject(event.get(), static_cast<DWORD>(end - now)) != WAIT_OBJECT_0) break;
    const auto section = ReadSection(names::kSerialSection, kSerialPointFrameSize);
    if (!section.empty()) std::printf("%s\n", SerialSectionJson(section).c_str());
  }
  return 0;
}

int WaitEvent(const char* name, DWORD timeout) {
  const ScopedKernelHandle event(CreateEventA(nullptr, FALSE, FALSE, name));
  if (!event) {
    std::fprintf(stderr, "touchctl: cannot create event %s\n", name);
    return 1;
  }
  std::printf("{\"waiting\":%s}\n", JsonString(name).c_str());
  const DWORD woken = WaitForSingleObject(event.get(), timeout);
  if (woken != WAIT_OBJECT_0) {
    std::printf("{\"timeout\":%s}\n", JsonString(name).c_str());
    return 1;
  }
  std::printf("{\"signalled\":%s}\n", JsonString(name).c_str());
  return 0;
}

int CountEvent(const char* name, DWORD duration) {
  const ScopedKernelHandle event(CreateEventA(nullptr, FALSE, FALSE, name));
  if (!event) return 1;
  std::printf("{\"counting\":%s}\n", JsonString(name).c_str());
  const DWORD end = GetTickCount() + duration;
  int count = 0;
  for (DWORD now = GetTickCount(); static_cast<LONG>(end - now) > 0; now = GetTickCount()) {
    if (WaitForSingleObject(event.get(), end - now) == WAIT_OBJECT_0) ++count;
  }
  std::printf("{\"count\":%d}\n", count);
  return 0;
}

int Signal(const char* name) {
  const ScopedKernelHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, name));
  if (!event) {
    std::fprintf(stderr, "touchctl: event %s does not exist\n", name);
    return 1;
  }
  if (!SetEvent(event.get())) {
    std::fprintf(stderr, "touchctl: event %s could not be set (error %lu)\n", name, GetLastError());
    return 1;
  }
  return 0;
}

// {"key":"USB01","USBID":"...",...} for each subkey of a device list.
void PrintList(RegistrySettingsStore& store, const char* label, const char* key_path,
               const char* id_name) {
  std::string line = "{\"" + std::string(label) + "\":{";
  const ScopedKey list = OpenKey(store, store.LocalMachine(), key_path, key_rights::kRead);
  if (!list) {
    std::printf("%s\"present\":false}}\n", line.c_str());
    return;
  }
  const auto count = ReadDword(store, list.get(), schema::kNextInstanceCount);
  line += "\"present\":true,\"NextInstanceCount\":" +
          (count ? std::to_string(*count) : std::string("null")) + ",\"devices\":[";
  char name[kKeyNameCapacity];
  for (std::uint32_t i = 0; i < 1000 && store.EnumKey(list.get(), i, name) == 0; ++i) {
    const ScopedKey device = OpenKey(store, list.get(), name, key_rights::kRead);
    line += std::string(i ? "," : "") + "{\"key\":" + JsonString(name);
    for (const char* value :
         {id_name, schema::kDeviceActive, schema::kFirmwareVersion, schema::kDeviceId}) {
      const auto text = device ? ReadText(store, device.get(), value) : std::nullopt;
      if (text) line += ",\"" + std::string(value) + "\":" + JsonString(text->view());
    }
    line += "}";
  }
  std::printf("%s]}}\n", line.c_str());
}

// Microseconds of the performance counter: the rate report's clock.
std::int64_t NowUs() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return count.QuadPart / frequency.QuadPart * 1000000 +
         count.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart;
}

// The services' events are auto-reset: while this runs, another waiter on the same event (the
// control panel's multitouch view) misses the signals that wake this one.
int Rate(DWORD duration) {
  struct Watched {
    RateSource source;
    ScopedKernelHandle event;
  };
  Watched watched[] = {
      {{"usb-points", names::kPointEventAll, false, {}}, ScopedKernelHandle()},
      {{"usb-cells", names::kRawCellEventAll, false, {}}, ScopedKernelHandle()},
      {{"serial-points", names::kSerialPointEvent, false, {}}, ScopedKernelHandle()},
  };
  HANDLE handles[std::size(watched)];
  Watched* owners[std::size(watched)];
  DWORD count = 0;
  for (Watched& w : watched) {
    w.event.reset(OpenEventA(SYNCHRONIZE, FALSE, w.source.event.c_str()));
    w.source.present = static_cast<bool>(w.event);
    if (!w.source.present) continue;
    w.source.times_us.reserve(static_cast<std::size_t>(duration) + 16);
    handles[count] = w.event.get();
    owners[count++] = &w;
  }
  const std::int64_t start = NowUs();
  const ULONGLONG end = GetTickCount64() + duration;
  for (ULONGLONG now = GetTickCount64(); count > 0 && now < end; now = GetTickCount64()) {
    const DWORD woken =
        WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(end - now));
    if (woken >= WAIT_OBJECT_0 + count) break;
    owners[woken - WAIT_OBJECT_0]->source.times_us.push_back(NowUs());
  }
  if (count > 0) {
    const ULONGLONG now = GetTickCount64();
    if (now < end) Sleep(static_cast<DWORD>(end - now));
  }
  const std::int64_t stop = NowUs();
  std::vector<RateSource> sources;
  std::vector<RateStats> stats;
  for (Watched& w : watched) {
    stats.push_back(MeasureRate(w.source.times_us, start, stop));
    sources.push_back(std::move(w.source));
    std::printf("%s\n", RateJson(sources.back(), stats.back()).c_str());
  }
  std::printf("%s\n", RateSummary(sources, stats).c_str());
  if (count == 0) {
    std::fprintf(stderr, "touchctl: no service's point event exists\n");
    return 1;
  }
  return 0;
}

int Beams(int argc, char** argv) {
  const char* svg_path = nullptr;
  const char* frames_path = nullptr;
  const char* duration_text = nullptr;
  for (int k = 2; k < argc; ++k) {
    if (std::strcmp(argv[k], "--svg") == 0 && k + 1 < argc) {
      svg_path = argv[++k];
    } else if (std::strcmp(argv[k], "--frames") == 0 && k + 1 < argc) {
      frames_path = argv[++k];
    } else if (duration_text == nullptr && argv[k][0] >= '0' && argv[k][0] <= '9') {
      duration_text = argv[k];
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if ((frames_path == nullptr) == (duration_text == nullptr)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  BeamCounter counter;
  if (frames_path != nullptr) {
    std::ifstream file(frames_path, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "touchctl: cannot read %s\n", frames_path);
      return 1;
    }
    std::vector<std::uint8_t> storage;
    for (std::string line; std::getline(file, line);) {
      if (const auto frame = ParseRawCellLine(line, &storage)) counter.Add(*frame);
    }
  } else {
    const ScopedKernelHandle event(OpenEventA(SYNCHRONIZE, FALSE, names::kRawCellEventAll));
    if (!event) {
      std::fprintf(stderr, "touchctl: the raw cell event does not exist\n");
      return 1;
    }
    const ULONGLONG end = GetTickCount64() + std::strtoul(duration_text, nullptr, 10);
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
      if (WaitForSingleObject(event.get(), static_cast<DWORD>(end - now)) != WAIT_OBJECT_0) break;
      const auto section = ReadSection(names::kRawCellSection, kRawCellSectionSize);
      if (const auto frame = ReadRawCellSection(section)) counter.Add(*frame);
    }
  }
  const BeamReport report = counter.Report();
  std::printf("%s\n%s", BeamJson(report).c_str(), BeamTable(report).c_str());
  if (svg_path != nullptr) {
    std::ofstream svg(svg_path, std::ios::binary);
    svg << BeamStripSvg(report);
    if (!svg.flush()) {
      std::fprintf(stderr, "touchctl: cannot write %s\n", svg_path);
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc >= 4 && std::strcmp(argv[1], "set") == 0) {
    for (int k = 3; k < argc; ++k) {
      if (const int result = SetEventByRole(argv[2], argv[k])) return result;
    }
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "points") == 0) return PrintSections();
  if (argc >= 2 && std::strcmp(argv[1], "wait-points") == 0) {
    return WaitPoints(argc >= 3 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 5000);
  }
  if (argc >= 3 && std::strcmp(argv[1], "wait-event") == 0) {
    return WaitEvent(argv[2],
                     argc >= 4 ? static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) : 5000);
  }
  if (argc >= 4 && std::strcmp(argv[1], "count-event") == 0) {
    return CountEvent(argv[2], static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));
  }
  if (argc >= 3 && std::strcmp(argv[1], "signal") == 0) return Signal(argv[2]);
  if (argc >= 3 && std::strcmp(argv[1], "serial-watch") == 0) {
    return WatchSerial(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
  }
  if (argc >= 3 && std::strcmp(argv[1], "rate") == 0) {
    return Rate(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
  }
  if (argc >= 3 && std::strcmp(argv[1], "beams") == 0) return Beams(argc, argv);
  if (argc == 3 && std::strcmp(argv[1], "bundle") == 0) return SupportBundle(argv[2]);
  if (argc >= 2 && std::strcmp(argv[1], "calibration") == 0) {
    if (const int result = CalibrationCommand(argc, argv); result != 2) return result;
  }
  if (argc >= 2 && std::strcmp(argv[1], "profile") == 0) {
    if (const int result = ProfileCommand(argc, argv); result != 2) return result;
  }
  if (argc >= 2 && std::strcmp(argv[1], "list") == 0) {
    RegistrySettingsStore store;
    PrintList(store, "usb", schema::kUsbActiveKey, schema::kUsbId);
    PrintList(store, "serial", schema::kSerialActiveKey, schema::kComId);
    return 0;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
