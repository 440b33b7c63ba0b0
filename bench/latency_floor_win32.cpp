// The floor for Usblink's latency and CPU figures: the least a program can do with a controller
// under the same Wine. It reads the controller's report pipe and writes one 24-byte record to
// the virtual mouse per chunk read, nothing else: no parsing, no settings, no events.
//   latency_floor DEVICE_PATH     (the controller's interface path; ends when the pipe does)
#include <windows.h>

#include <array>
#include <cstdio>
#include <string>

#include "common/kernel_object_names.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: latency_floor DEVICE_PATH\n", stderr);
    return 2;
  }
  const std::string pipe = std::string(argv[1]) + "\\PIPE01";
  HANDLE reports = CreateFileA(pipe.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE mouse = CreateFileA(zorvik::names::kVirtualMouseDevice, GENERIC_READ | GENERIC_WRITE, 0,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  if (reports == INVALID_HANDLE_VALUE || mouse == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "latency_floor: cannot open %s or the virtual mouse (error %lu)\n",
                 pipe.c_str(), GetLastError());
    return 1;
  }
  std::printf("reading %s\n", pipe.c_str());
  std::fflush(stdout);
  std::array<unsigned char, 4096> chunk{};
  std::array<unsigned char, 24> record{};
  record[2] = 1;  // a unit id, so that the record is not all zeros
  DWORD read = 0;
  while (ReadFile(reports, chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) &&
         read > 0) {
    DWORD written = 0;
    WriteFile(mouse, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  }
  CloseHandle(mouse);
  CloseHandle(reports);
  return 0;
}
