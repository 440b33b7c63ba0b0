// touchreplay: runs a captured or hand-written controller stream through the USB service's
// touch pipeline (or the serial service's decoder) with given settings and prints every effect
// as a JSON line.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "common/memory_settings_store.h"
#include "tools/touchreplay/reg_import.h"
#include "tools/touchreplay/replay_serial.h"
#include "tools/touchreplay/replay_session.h"

namespace {

constexpr char kUsage[] =
    "usage: touchreplay [options] [STREAM]\n"
    "Replays a controller stream (file, or standard input) through the touch pipeline.\n"
    "  --reg FILE               load a .reg export under HKLM\\Software\\ZorvikTouchParam\n"
    "  --set 'KEY\\NAME=VALUE'   one value: dword:HEX or a string (repeatable)\n"
    "  --screen WxH             primary screen (default 1024x768)\n"
    "  --double-click-time MS   system double-click time (default 500)\n"
    "  --device-path TEXT       controller identity for the display lookup (default "
    "\\\\?\\replay#0)\n"
    "  --platform nt|other      pointer output by records (nt) or mouse_event (other)\n"
    "  --serial                 a serial controller's stream, through the serial service's "
    "decoder\n"
    "  --port N                 with --serial: the controller's COM port number (default 1)\n"
    "  --cell-levels            raw cell lines carry the frame's levels (for touchctl beams)\n"
    "  --trace-states           also print every touch state machine event, before the effects\n"
    "                           of its action:\n"
    "                           "
    "{\"transition\":{\"machine\":\"usb-touch\",\"from\":\"up\",\"event\":\n"
    "                           "
    "\"finger-down\",\"to\":\"down\",\"t\":\"2026-01-01T00:00:00.000Z\"}}\n"
    "                           machines: usb-touch (states up, down, touching; events\n"
    "                           finger-down, finger-up, cells-touched, cells-lifted,\n"
    "                           contact-tracked, touch-lost, not-accepted) and serial-touch\n"
    "                           (states up, down, tracking; events touch-header,\n"
    "                           release-header, touch-frame); t is the replay clock\n";

[[noreturn]] void Fail(const std::string& where, const std::string& message) {
  std::cerr << "touchreplay: " << where << (where.empty() ? "" : ": ") << message << "\n";
  std::exit(2);
}

bool ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream content;
  content << file.rdbuf();
  *bytes = content.str();
  return true;
}

bool ParseNumber(const char* text, std::uint32_t* value) {
  char* end = nullptr;
  const unsigned long parsed = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || parsed > 0xFFFFFFFFul || text[0] == '-') return false;
  *value = static_cast<std::uint32_t>(parsed);
  return true;
}

bool ParseScreen(const std::string& text, zorvik::ScreenSize* screen) {
  unsigned w = 0, h = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%ux%u%c", &w, &h, &tail) != 2 || w == 0 || h == 0 || w > 100000 ||
      h > 100000) {
    return false;
  }
  *screen = {static_cast<std::int32_t>(w), static_cast<std::int32_t>(h)};
  return true;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);  // the same "\n" line ends as everywhere else
#endif
  zorvik::MemorySettingsStore store;
  zorvik::ReplayOptions options;
  std::string stream_path;
  bool serial = false;
  std::uint32_t port = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) Fail("", "option " + arg + " needs a value\n" + kUsage);
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--reg") {
      const std::string path = value();
      std::string bytes;
      if (!ReadFile(path, &bytes)) Fail(path, "cannot read file");
      zorvik::ImportError error;
      if (!zorvik::ImportRegText(bytes, store, &error)) {
        Fail(path + (error.line ? std::string(":").append(std::to_string(error.line)) : ""),
             error.message);
      }
    } else if (arg == "--set") {
      std::string error;
      const std::string assignment = value();
      if (!zorvik::ApplySetting(assignment, store, &error)) Fail("--set " + assignment, error);
    } else if (arg == "--screen") {
      if (!ParseScreen(value(), &options.screen)) Fail("--screen", "expected WxH, e.g. 1024x768");
    } else if (arg == "--double-click-time") {
      if (!ParseNumber(value().c_str(), &options.double_click_time)) {
        Fail("--double-click-time", "expected milliseconds");
      }
    } else if (arg == "--serial") {
      serial = true;
    } else if (arg == "--port") {
      if (!ParseNumber(value().c_str(), &port) || port < 1 || port > 100) {
        Fail("--port", "expected a COM port number, 1 to 100");
      }
    } else if (arg == "--cell-levels") {
      options.cell_levels = true;
    } else if (arg == "--trace-states") {
      options.trace_states = true;
    } else if (arg == "--device-path") {
      options.device_path = value();
    } else if (arg == "--platform") {
      const std::string platform = value();
      if (platform == "nt") {
        options.platform = zorvik::Platform::kNt;
      } else if (platform == "other") {
        options.platform = zorvik::Platform::kOther;
      } else {
        Fail("--platform", "expected nt or other");
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      Fail("", "unknown option " + arg + "\n" + kUsage);
    } else if (stream_path.empty()) {
      stream_path = arg;
    } else {
      Fail("", std::string("more than one stream file\n") + kUsage);
    }
  }

  std::ifstream file;
  if (!stream_path.empty()) {
    file.open(stream_path, std::ios::binary);
    if (!file) Fail(stream_path, "cannot read file");
  }
  std::istream& input = stream_path.empty() ? std::cin : file;
  const std::string name = stream_path.empty() ? "<stdin>" : stream_path;

  const auto print = [](const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  };
  std::unique_ptr<zorvik::ReplaySession> usb;
  std::unique_ptr<zorvik::ReplaySerialSession> com;
  if (serial) {
    com = std::make_unique<zorvik::ReplaySerialSession>(store, options, static_cast<int>(port),
                                                        print);
  } else {
    usb = std::make_unique<zorvik::ReplaySession>(store, options, print);
  }
  std::string line;
  for (int number = 1; std::getline(input, line); ++number) {
    std::string error;
    const auto parsed = zorvik::ParseScriptLine(line, &error);
    if (!parsed) Fail(name + ":" + std::to_string(number), error);
    if (com) {
      com->Feed(*parsed);
    } else {
      usb->Feed(*parsed);
    }
  }
  if (input.bad()) Fail(name, "read error");
  return std::fflush(stdout) == 0 ? 0 : 1;
}
