// Popdeck.exe for tests: stands in for the outside popup program that the Popup Control page
// starts and stops. It opens no window; it appends to "<its own path without .exe>.log" the line
// "started <command line>" and then "popup" each time the popup event is set, until it is ended
// from outside.
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/kernel_object_names.h"

namespace {

void Log(const std::string& path, const std::string& line) {
  if (FILE* log = std::fopen(path.c_str(), "a")) {
    std::fprintf(log, "%s\n", line.c_str());
    std::fclose(log);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char own[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, own, MAX_PATH);
  std::string log(own, length);
  if (log.size() > 4) log.resize(log.size() - 4);
  log += ".log";
  Log(log, std::string("started ") + GetCommandLineA());
  // The USB service creates the popup event; without it, the stand-in makes one to wait on.
  HANDLE popup = OpenEventA(SYNCHRONIZE, FALSE, zorvik::names::kPopupEvent);
  if (popup == nullptr) popup = CreateEventA(nullptr, FALSE, FALSE, zorvik::names::kPopupEvent);
  for (;;) {
    if (popup == nullptr) {
      Sleep(INFINITE);
    } else if (WaitForSingleObject(popup, INFINITE) == WAIT_OBJECT_0) {
      Log(log, "popup");
    }
  }
}
