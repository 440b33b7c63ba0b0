// uictl: drives and inspects the windows of programs under test, as a user would see them.
//   uictl windows                 visible top-level windows as JSON lines
//   uictl double-click-time [MS]  the system's double-click time in force (first set to MS)
//   uictl wait-window TITLE [MS]  until a visible window with that title exists
//   uictl texts TITLE             the texts of the window's child controls
//   uictl click TITLE             a left-button release on the window
//   uictl ok TITLE | cancel TITLE the window's OK or Cancel command
//   uictl syscommand TITLE ID     a system-menu command
//   uictl controls TITLE          every control below the window, with its state and place
//   uictl tabs TITLE              the captions, places and selection of its tab control
//   uictl list-rows TITLE ID      the texts of the list view ID, a row per line
//   uictl list-items TITLE ID     its items' first texts, selection and places
//   uictl list-columns TITLE ID   its column captions and widths
// Places are screen coordinates, so that real input (XTest) can aim at them.
#include <windows.h>

#include <commctrl.h>

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

std::string Place(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return "\"x\":" + std::to_string(rect.left) + ",\"y\":" + std::to_string(rect.top) +
         ",\"w\":" + std::to_string(rect.right - rect.left) +
         ",\"h\":" + std::to_string(rect.bottom - rect.top);
}

const char* Flag(bool value) {
  return value ? "true" : "false";
}

// State a test can read without pointers crossing into the program: check marks, trackbar
// positions, list and progress counts.
std::string ControlState(HWND control) {
  char type[64] = {};
  GetClassNameA(control, type, sizeof type);
  const std::string kind = type;
  if (kind == "Button") {
    return ",\"checked\":" + std::to_string(SendMessageA(control, BM_GETCHECK, 0, 0));
  }
  if (kind == TRACKBAR_CLASSA) {
    return ",\"pos\":" + std::to_string(SendMessageA(control, TBM_GETPOS, 0, 0)) +
           ",\"min\":" + std::to_string(SendMessageA(control, TBM_GETRANGEMIN, 0, 0)) +
           ",\"max\":" + std::to_string(SendMessageA(control, TBM_GETRANGEMAX, 0, 0));
  }
  if (kind == WC_LISTVIEWA) {
    const LONG view = GetWindowLongA(control, GWL_STYLE) & LVS_TYPEMASK;
    const LRESULT extended = SendMessageA(control, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    return ",\"items\":" + std::to_string(SendMessageA(control, LVM_GETITEMCOUNT, 0, 0)) +
           ",\"view\":\"" +
           (view == LVS_REPORT ? "report"
            : view == LVS_ICON ? "icon"
                               : "other") +
           "\",\"full_row\":" + Flag((extended & LVS_EX_FULLROWSELECT) != 0) +
           ",\"single_selection\":" +
           Flag((GetWindowLongA(control, GWL_STYLE) & LVS_SINGLESEL) != 0) +
           ",\"images\":" + Flag(SendMessageA(control, LVM_GETIMAGELIST, LVSIL_NORMAL, 0) != 0);
  }
  if (kind == WC_COMBOBOXA) {
    return ",\"sel\":" + std::to_string(SendMessageA(control, CB_GETCURSEL, 0, 0)) +
           ",\"items\":" + std::to_string(SendMessageA(control, CB_GETCOUNT, 0, 0));
  }
  if (kind == PROGRESS_CLASSA) {
    return ",\"pos\":" + std::to_string(SendMessageA(control, PBM_GETPOS, 0, 0)) +
           ",\"max\":" + std::to_string(SendMessageA(control, PBM_GETRANGE, FALSE, 0));
  }
  return "";
}

// An edit control keeps its text to itself: ask for it, with a time-out.
std::string ControlText(HWND control, const char* type) {
  if (std::strcmp(type, "Edit") != 0) return Title(control);
  static char text[8192];
  DWORD_PTR length = 0;
  text[0] = '\0';
  SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 2000, &length);
  return text;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  char type[64] = {};
  GetClassNameA(control, type, sizeof type);
  std::printf("{\"id\":%d,\"class\":%s,\"text\":%s,%s,\"visible\":%s,\"enabled\":%s%s}\n",
              GetDlgCtrlID(control), JsonString(type).c_str(),
              JsonString(ControlText(control, type)).c_str(), Place(control).c_str(),
              Flag(IsWindowVisible(control)), Flag(IsWindowEnabled(control)),
              ControlState(control).c_str());
  return TRUE;
}

// Memory inside the window's process, for the messages whose arguments are pointers.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, std::size_t size) : size_(size) {
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    process_ =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, process_id);
    if (process_ != nullptr) {
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    if (address_ == nullptr) {
      std::fprintf(stderr, "uictl: cannot reach the memory of process %lu\n", process_id);
      std::exit(1);
    }
  }
  ~RemoteBuffer() {
    VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  char* at(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
  void Write(std::size_t offset, const void* data, std::size_t size) const {
    WriteProcessMemory(process_, at(offset), data, size, nullptr);
  }
  void Read(std::size_t offset, void* data, std::size_t size) const {
    ReadProcessMemory(process_, at(offset), data, size, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  std::size_t size_;
};

constexpr std::size_t kTextOffset = 512;  // structures first, the text after them
constexpr std::size_t kTextSize = 512;

struct ClassSearch {
  const char* type;
  int id;  // 0: any
  HWND found;
};

BOOL CALLBACK FindControl(HWND control, LPARAM context) {
  auto* search = reinterpret_cast<ClassSearch*>(context);
  char type[64] = {};
  GetClassNameA(control, type, sizeof type);
  if (std::strcmp(type, search->type) == 0 &&
      (search->id == 0 || GetDlgCtrlID(control) == search->id)) {
    search->found = control;
    return FALSE;
  }
  return TRUE;
}

HWND Control(HWND window, const char* type, int id) {
  ClassSearch search{type, id, nullptr};
  EnumChildWindows(window, FindControl, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) {
    std::fprintf(stderr, "uictl: no %s control %d\n", type, id);
    std::exit(1);
  }
  return search.found;
}

// Asks `control` for the text of item `index` through an item structure (TCITEMA, LVITEMA) whose
// text buffer lies in the control's process.
template <typename Item>
std::string RemoteItemText(const RemoteBuffer& remote, HWND control, UINT message, int index,
                           Item item) {
  item.pszText = remote.at(kTextOffset);
  item.cchTextMax = kTextSize;
  remote.Write(0, &item, sizeof item);
  remote.Write(kTextOffset, "", 1);
  SendMessageA(control, message, index, reinterpret_cast<LPARAM>(remote.at(0)));
  char text[kTextSize] = {};
  remote.Read(kTextOffset, text, sizeof text - 1);
  return text;
}

void PrintTabs(HWND window) {
  HWND tabs = Control(window, WC_TABCONTROLA, 0);
  const RemoteBuffer remote(tabs, kTextOffset + kTextSize);
  const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
  const int selected = static_cast<int>(SendMessageA(tabs, TCM_GETCURSEL, 0, 0));
  for (int i = 0; i < count; ++i) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    const std::string text = RemoteItemText(remote, tabs, TCM_GETITEMA, i, item);
    RECT rect{};
    SendMessageA(tabs, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(remote.at(0)));
    remote.Read(0, &rect, sizeof rect);
    MapWindowPoints(tabs, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    std::printf(
        "{\"index\":%d,\"text\":%s,\"x\":%ld,\"y\":%ld,\"w\":%ld,\"h\":%ld,"
        "\"selected\":%s}\n",
        i, JsonString(text).c_str(), rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top, Flag(i == selected));
  }
}

void PrintListRows(HWND window, int id) {
  HWND list = Control(window, WC_LISTVIEWA, id);
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  const int columns = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  const RemoteBuffer remote(list, kTextOffset + kTextSize);
  for (int row = 0; row < rows; ++row) {
    std::string line = "[";
    for (int column = 0; column < columns; ++column) {
      LVITEMA item{};
      item.iSubItem = column;
      line += (column != 0 ? "," : "") +
              JsonString(RemoteItemText(remote, list, LVM_GETITEMTEXTA, row, item));
    }
    std::printf("%s]\n", line.c_str());
  }
}

// Each item of list view ID with its first column's text, selection and screen place.
void PrintListItems(HWND window, int id) {
  HWND list = Control(window, WC_LISTVIEWA, id);
  const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  const RemoteBuffer remote(list, kTextOffset + kTextSize);
  for (int row = 0; row < rows; ++row) {
    const std::string text = RemoteItemText(remote, list, LVM_GETITEMTEXTA, row, LVITEMA{});
    RECT rect{};
    rect.left = LVIR_LABEL;
    remote.Write(0, &rect, sizeof rect);
    SendMessageA(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote.at(0)));
    remote.Read(0, &rect, sizeof rect);
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    const bool selected =
        (SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    std::printf(
        "{\"index\":%d,\"text\":%s,\"x\":%ld,\"y\":%ld,\"w\":%ld,\"h\":%ld,"
        "\"selected\":%s}\n",
        row, JsonString(text).c_str(), rect.left, rect.top, rect.right - rect.left,
        rect.bottom - rect.top, Flag(selected));
  }
}

// The captions and widths of list view ID's columns.
void PrintListColumns(HWND window, int id) {
  HWND list = Control(window, WC_LISTVIEWA, id);
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  const int columns = static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  const RemoteBuffer remote(list, kTextOffset + kTextSize);
  RECT client{};
  GetClientRect(list, &client);
  for (int column = 0; column < columns; ++column) {
    LVCOLUMNA item{};
    item.mask = LVCF_TEXT;
    const std::string text = RemoteItemText(remote, list, LVM_GETCOLUMNA, column, item);
    std::printf("{\"index\":%d,\"text\":%s,\"width\":%d,\"client_width\":%ld}\n", column,
                JsonString(text).c_str(),
                static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0)),
                client.right - client.left);
  }
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
  if (command == "double-click-time") {
    if (argc >= 3 && !SetDoubleClickTime(static_cast<UINT>(std::strtoul(argv[2], nullptr, 10)))) {
      std::fprintf(stderr, "uictl: cannot set the double-click time (error %lu)\n", GetLastError());
      return 1;
    }
    std::printf("{\"double_click_time\":%u}\n", GetDoubleClickTime());
    return 0;
  }
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: uictl windows | wait-window|texts|click|ok|cancel|controls|tabs TITLE | "
                 "syscommand|list-rows|list-items|list-columns TITLE ID\n");
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
  } else if (command == "controls") {
    EnumChildWindows(window, PrintControl, 0);
  } else if (command == "tabs") {
    PrintTabs(window);
  } else if (command == "list-rows" && argc >= 4) {
    PrintListRows(window, std::atoi(argv[3]));
  } else if (command == "list-items" && argc >= 4) {
    PrintListItems(window, std::atoi(argv[3]));
  } else if (command == "list-columns" && argc >= 4) {
    PrintListColumns(window, std::atoi(argv[3]));
  } else if (command == "syscommand" && argc >= 4) {
    PostMessageA(window, WM_SYSCOMMAND, std::strtoul(argv[3], nullptr, 0), 0);
  } else {
    std::fprintf(stderr, "uictl: unknown command %s\n", command.c_str());
    return 2;
  }
  return 0;
}
