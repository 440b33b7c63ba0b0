// Clicktog: a small always-on-top window that makes the next touch a right click. A tap toggles
// the mode, stores it as ClickRightLeft and tells both services; a service's acknowledgement of
// a used right click toggles it back.
#include <windows.h>

#include <atomic>

#include "clicktool/clicktog_resources.h"
#include "common/kernel_object_names.h"
#include "common/registry_settings_store_win32.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "common/win32/handle_win32.h"
#include "common/win32/system_win32.h"

namespace {

using namespace zorvik;

// The tool's window and what it holds: the mode, the two services' click-change events and the
// thread that waits for a service's acknowledgement. One object for the process's life.
class ClickTool {
 public:
  ClickTool() = default;
  ClickTool(const ClickTool&) = delete;
  ClickTool& operator=(const ClickTool&) = delete;

  // The dialog procedure; the tool comes with WM_INITDIALOG's lParam.
  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  INT_PTR Handle(UINT message, WPARAM wparam);
  void InitDialog();
  void ShowMode();
  void ReadMode();
  void Toggle();
  void Close();
  static DWORD WINAPI AcknowledgementThread(void* self);
  void WaitForAcknowledgements();

  DWORD mode_ = 0;  // 0 left-click mode, 1 right-click mode
  ScopedKernelHandle usb_click_change_;
  ScopedKernelHandle serial_click_change_;
  std::atomic<bool> run_{true};
  ScopedKernelHandle ack_thread_;
  HWND dialog_ = nullptr;
};

void ClickTool::ShowMode() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  HBITMAP picture =
      LoadBitmapA(instance, MAKEINTRESOURCEA(mode_ != 0 ? IDB_MOUSE_RIGHT : IDB_MOUSE_LEFT));
  // The control owns the picture it shows; the one it showed before is freed here.
  const HGDIOBJ old = reinterpret_cast<HGDIOBJ>(SendDlgItemMessageA(
      dialog_, IDC_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture)));
  const ScopedGdiObject<HGDIOBJ> replaced(old != picture ? old : nullptr);
}

void ClickTool::ReadMode() {
  RegistrySettingsStore store;
  const ScopedKey general =
      OpenKey(store, store.LocalMachine(), schema::kGeneralKey, key_rights::kRead);
  if (!general) return;
  if (const auto value = ReadDword(store, general.get(), schema::kClickRightLeft)) {
    mode_ = *value;
  }
}

void ClickTool::Toggle() {
  mode_ = mode_ != 0 ? 0 : 1;
  ShowMode();
  RegistrySettingsStore store;
  if (const ScopedKey general =
          CreateKey(store, store.LocalMachine(), schema::kGeneralKey, key_rights::kSetValue)) {
    WriteDword(store, general.get(), schema::kClickRightLeft, mode_);
  }
  if (usb_click_change_) SetEvent(usb_click_change_.get());
  if (serial_click_change_) SetEvent(serial_click_change_.get());
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

DWORD WINAPI ClickTool::AcknowledgementThread(void* self) {
  static_cast<ClickTool*>(self)->WaitForAcknowledgements();
  return 0;
}

void ClickTool::WaitForAcknowledgements() {
  // The services run with the user's standard token while this tool may run elevated (the panel
  // starts it): without a DACL that lets everyone in, they could not open the event.
  NullDaclSecurity security;
  const ScopedKernelHandle ack(
      CreateEventA(security.get(), FALSE, FALSE, names::kClickChangeAckEvent));
  while (run_ && ack) {
    WaitForSingleObject(ack.get(), INFINITE);
    // Synchronously, so that the toggle runs on the window's thread.
    SendMessageA(dialog_, WM_LBUTTONUP, 0, 0);
  }
}

// The service's event by its documented name, else by the "Global\" name under which the USB
// service creates it on NT-family systems (which is another object outside session 0).
ScopedKernelHandle OpenClickChange(const char* name, const char* global_name, const char* message) {
  ScopedKernelHandle event(OpenEventByEitherName(name, global_name));
  if (!event) MessageBoxA(nullptr, message, "Fatal Error", MB_ICONHAND);
  return event;
}

void ClickTool::InitDialog() {
  char about[64] = {};
  LoadStringA(GetModuleHandleA(nullptr), IDS_ABOUTBOX, about, sizeof about);
  if (HMENU menu = GetSystemMenu(dialog_, FALSE); menu != nullptr && about[0] != '\0') {
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about);
  }
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_CLICKTOG));
  SendMessageA(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageA(dialog_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  ack_thread_.reset(CreateThread(nullptr, 0, &ClickTool::AcknowledgementThread, this, 0, nullptr));
  ReadMode();
  ShowMode();
  usb_click_change_ =
      OpenClickChange(names::kUsbClickChangeEvent, names::kUsbClickChangeEventGlobal,
                      "Zorvik IR Touch Driver (USB) did not be loaded!");
  serial_click_change_ = OpenClickChange(names::kSerialClickChangeEvent, nullptr,
                                         "Zorvik IR Touch Driver (Serial) did not be loaded!");
  Place(dialog_);
}

// The acknowledgement thread is not waited for: it may be blocked in a send to this window.
// It ends with the process, and the tool outlives the dialog (see WinMain).
void ClickTool::Close() {
  run_ = false;
  ack_thread_.reset();
  EndDialog(dialog_, 0);
}

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wparam));
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK ClickTool::Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* tool = reinterpret_cast<ClickTool*>(lparam);
    SetWindowLongPtrA(dialog, DWLP_USER, lparam);
    tool->dialog_ = dialog;
    tool->InitDialog();
    return TRUE;
  }
  auto* tool = reinterpret_cast<ClickTool*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (tool != nullptr) return tool->Handle(message, wparam);
  if (message == WM_SIZE) Place(dialog);  // sizes come before WM_INITDIALOG too
  return FALSE;
}

INT_PTR ClickTool::Handle(UINT message, WPARAM wparam) {
  switch (message) {
    case WM_SIZE:
      Place(dialog_);
      return FALSE;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      Toggle();
      return FALSE;  // the default handling runs too
    case WM_SYSCOMMAND:
      if ((wparam & 0xFFF0) == IDM_ABOUTBOX) {
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUTBOX), dialog_,
                        AboutProc, 0);
        return TRUE;
      }
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDCANCEL) {
        Close();
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Held until the process ends.
  const ScopedKernelHandle instance_mutex(CreateMutexA(nullptr, FALSE, names::kClickToolMutex));
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED) return 0;
  // Static: the acknowledgement thread may still wake while the process ends.
  static ClickTool tool;
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_CLICKTOG), nullptr, &ClickTool::Proc,
                  reinterpret_cast<LPARAM>(&tool));
  return 0;
}
