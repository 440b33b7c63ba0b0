// handlecount: the handles a Windows process holds, by object type (events, mutexes, threads,
// files, keys...), for the soak tests; descriptors and threads seen from Linux miss most of them.
//   handlecount IMAGE    one JSON line per running process of that image name:
//                        {"image":..., "pid":N, "handles":N, "types":{"Event":N, ...}}
// Exit code 1 when no such process runs or handles cannot be listed, 2 for bad usage.
#include <windows.h>

#include <cstdio>
#include <string>

#include "testkit/handlecount/handle_census_win32.h"
#include "tools/common/json_text.h"

int main(int argc, char** argv) {
  using namespace zorvik;
  if (argc != 2) {
    std::fputs("usage: handlecount IMAGE\n", stderr);
    return 2;
  }
  const std::vector<DWORD> pids = FindProcesses(argv[1]);
  if (pids.empty()) {
    std::fprintf(stderr, "handlecount: no process %s\n", argv[1]);
    return 1;
  }
  for (const DWORD pid : pids) {
    const auto census = TakeHandleCensus(pid);
    if (!census) {
      std::fputs("handlecount: the system does not list handles\n", stderr);
      return 1;
    }
    std::string line = "{\"image\":" + JsonString(argv[1]) + ",\"pid\":" + std::to_string(pid) +
                       ",\"handles\":" + std::to_string(census->total) + ",\"types\":{";
    const char* separator = "";
    for (const auto& [type, count] : census->by_type) {
      line += separator + JsonString(type) + ":" + std::to_string(count);
      separator = ",";
    }
    line += "}}\n";
    std::fputs(line.c_str(), stdout);
  }
  return 0;
}
