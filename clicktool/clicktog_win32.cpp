// Clicktog: a small always-on-top window that makes the next touch a right click. A tap toggles
// the mode, stores it as ClickRightLeft and tells both services; a service's acknowledgement of
// a used right click toggles it back.
#include <windows.h>

#include "clicktool/clicktog_resources.h"
#include "common/kernel_object_names.h"
#include "common/registry_settings_store_win32.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "common/win32/system_win32.h"

namespace {

using namespace zorvik;

struct ToolState {
  DWORD mode = 0;  // 0 left-click mode, 1 right-click mode
  HANDLE usb_click_change = nullptr;
  HANDLE serial_click_change = nullptr;
  volatile LONG run = 1;
  HANDLE ack_thread = nullptr;
  HWND dialog = nullptr;
};

ToolState g_tool;

void ShowMode(HWND dialog) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HBITMAP picture =
      LoadBitmapA(instance, MAKEINTRESOURCEA(g_tool.mode != 0 ? IDB_MOUSE_RIGHT : IDB_MOUSE_LEFT));
  const HGDIOBJ old = reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(
      dialog, IDC_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture)));
  if (old != nullptr && old != picture) DeleteObject(old);
}

void ReadMode() {
  RegistrySettingsStore store;
  const ScopedKey general = OpenKey(store, store.LocalMachine(), schema::kGeneralKey);
  if (!general) return;
  if (const auto value = ReadDword(store, general.get(), schema::kClickRightLeft)) {
    g_tool.mode = *value;
  }
}

void Toggle(HWND dialog) {
  g_tool.mode = g_tool.mode != 0 ? 0 : 1;
  ShowMode(dialog);
  RegistrySettingsStore store;
  if (const ScopedKey general = CreateKey(store, store.LocalMachine(), schema::kGeneralKey)) {
    WriteDword(store, general.get(), schema::kClickRightLeft, g_tool.mode);
  }
  if (g_tool.usb_click_change != nullptr) SetEvent(g_tool.usb_click_change);
  if (g_tool.serial_click_change != nullptr) SetEvent(g_tool.serial_click_change);
}

// Bottom-right corner of the work area, above all non-topmost windows.
void Place(HWND dialog) {
  RECT window{};
  RECT work{};
  GetWindowRect(dialog, &window);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  SetWindowPos(dialog, HWND_TOPMOST, (work.right - work.left) - width,
               (work.bottom - work.top) - height, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
}

DWORD WINAPI AcknowledgementThread(void*) {
  HANDLE ack = CreateEventA(nullptr, FALSE, FALSE, names::kClickChangeAckEvent);
  while (g_tool.run != 0 && ack != nullptr) {
    WaitForSingleObject(ack, INFINITE);
    // Synchronously, so that the toggle runs on the window's thread.
    SendMessageA(g_tool.dialog, WM_LBUTTONUP, 0, 0);
  }
  return 0;
}

// The service's event by its documented name, else by the "Global\" name under which the USB
// service creates it on NT-family systems (which is another object outside session 0).
HANDLE OpenClickChange(const char* name, const char* global_name, const char* message) {
  HANDLE event = OpenEventByEitherName(name, global_name);
  if (event == nullptr) MessageBoxA(nullptr, message, "Fatal Error", MB_ICONHAND);
  return event;
}

void InitDialog(HWND dialog) {
  g_tool.dialog = dialog;
  char about[64] = {};
  LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, about, sizeof about);
  if (HMENU menu = GetSystemMenu(dialog, FALSE); menu != nullptr && about[0] != '\0') {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about);
  }
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_CLICKTOG));
  SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  g_tool.ack_thread = CreateThread(nullptr, 0, AcknowledgementThread, nullptr, 0, nullptr);
  ReadMode();
  ShowMode(dialog);
  g_tool.usb_click_change =
      OpenClickChange(names::kUsbClickChangeEvent, names::kUsbClickChangeEventGlobal,
                      "Zorvik IR Touch Driver (USB) did not be loaded!");
  g_tool.serial_click_change =
      OpenClickChange(names::kSerialClickChangeEvent, nullptr,
                      "Zorvik IR Touch Driver (Serial) did not be loaded!");
  Place(dialog);
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wparam));
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK ToolProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      InitDialog(dialog);
      return TRUE;
    case WM_SIZE:
      Place(dialog);
      return FALSE;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      Toggle(dialog);
      return FALSE;  // the default handling runs too
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == IDM_ABOUTBOX) {
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), dialog,
                        AboutProc, 0);
        return TRUE;
      }
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDCANCEL) {
        InterlockedExchange(&g_tool.run, 0);
        if (g_tool.ack_thread != nullptr) CloseHandle(g_tool.ack_thread);
        g_tool.ack_thread = nullptr;
        EndDialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  CreateMutexA(nullptr, FALSE, names::kClickToolMutex);  // held until the process ends
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) return 0;
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CLICKTOG), nullptr, ToolProc, 0);
  return 0;
}
