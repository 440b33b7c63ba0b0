// uictl: drives and inspects the windows of programs under test, as a user would see them.
//   uictl windows                 visible top-level windows as JSON lines
//   uictl wait-window TITLE [MS]  until a visible window with that title exists
//   uictl texts TITLE             the texts of the window's child controls
//   uictl click TITLE             a left-button release on the window
//   uictl ok TITLE | cancel TITLE the window's OK or Cancel command
//   uictl syscommand TITLE ID     a system-menu command
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/common/json_text.h"

namespace {

using zorvik::JsonString;

// A window's text as the system stores it: no message is sent, so a program that does not
// answer cannot make this wait.
std::string Title(HWND window) {
  wchar_t wide[256] = {};
  InternalGetWindowText(window, wide, 256);
  char title[512] = {};
  WideCharToMultiByte(CP_ACP, 0, wide, -1, title, sizeof title, nullptr, nullptr);
  return title;
}

struct Search {
  const char* title;
  HWND found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  if (IsWindowVisible(window) && Title(window) == search->title) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND Find(const char* title) {
  Search search{title, nullptr};
  EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string Describe(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  char type[128] = {};
  GetClassNameA(window, type, sizeof type);
  const bool topmost = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  return "{\"title\":" + JsonString(Title(window)) + ",\"class\":" + JsonString(type) +
         ",\"x\":" + std::to_string(rect.left) + ",\"y\":" + std::to_string(rect.top) +
         ",\"w\":" + std::to_string(rect.right - rect.left) +
         ",\"h\":" + std::to_string(rect.bottom - rect.top) +
         ",\"topmost\":" + (topmost ? "true" : "false") + "}";
}

BOOL CALLBACK PrintVisible(HWND window, LPARAM) {
  if (IsWindowVisible(window)) std::printf("%s\n", Describe(window).c_str());
  return TRUE;
}

BOOL CALLBACK PrintText(HWND child, LPARAM) {
  std::printf("{\"id\":%d,\"text\":%s}\n", GetDlgCtrlID(child), JsonString(Title(child)).c_str());
  return TRUE;
}

HWND Require(const char* title) {
  HWND window = Find(title);
  if (window == nullptr) {
    std::fprintf(stderr, "uictl: no visible window \"%s\"\n", title);
    std::exit(1);
  }
  return window;
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  const std::string command = argc >= 2 ? argv[1] : "";
  if (command == "windows") {
    EnumWindows(PrintVisible, 0);
    return 0;
  }
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: uictl windows | wait-window|texts|click|ok|cancel TITLE | "
                 "syscommand TITLE ID\n");
    return 2;
  }
  const char* title = argv[2];
  if (command == "wait-window") {
    const DWORD timeout = argc >= 4 ? std::strtoul(argv[3], nullptr, 10) : 10000;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start <= timeout) {
      if (HWND window = Find(title)) {
        std::printf("%s\n", Describe(window).c_str());
        return 0;
      }
      Sleep(50);
    }
    std::fprintf(stderr, "uictl: no window \"%s\" within %lu ms\n", title, timeout);
    return 1;
  }
  HWND window = Require(title);
  if (command == "texts") {
    EnumChildWindows(window, PrintText, 0);
  } else if (command == "click") {
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  } else if (command == "ok") {
    PostMessageA(window, WM_COMMAND, IDOK, 0);
  } else if (command == "cancel") {
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  } else if (command == "syscommand" && argc >= 4) {
    PostMessageA(window, WM_SYSCOMMAND, std::strtoul(argv[3], nullptr, 0), 0);
  } else {
    std::fprintf(stderr, "uictl: unknown command %s\n", command.c_str());
    return 2;
  }
  return 0;
}
