// view_frames: how many frames the open touch screen dialog's multi-point view has drawn, for
// bench/touch_view_bench.py. Prints {"drawn":N}; exits 1 when no such dialog is shown.
#include <windows.h>

#include <cstdio>

#include "panel/win32/touch_screen_dlg_win32.h"

namespace {

// The full-screen dialog: an untitled dialog window of at least 300 pixels across.
BOOL CALLBACK FindDialog(HWND window, LPARAM context) {
  char type[32] = {};
  GetClassNameA(window, type, sizeof type);
  RECT rect{};
  GetWindowRect(window, &rect);
  if (IsWindowVisible(window) && GetWindowTextLengthA(window) == 0 &&
      lstrcmpA(type, "#32770") == 0 && rect.right - rect.left >= 300) {
    *reinterpret_cast<HWND*>(context) = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

int main() {
  HWND dialog = nullptr;
  EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&dialog));
  if (dialog == nullptr) return 1;
  const UINT message = RegisterWindowMessageA(zorvik::panel::kFramesDrawnMessage);
  DWORD_PTR drawn = 0;
  if (SendMessageTimeoutA(dialog, message, 0, 0, SMTO_ABORTIFHUNG, 5000, &drawn) == 0) return 1;
  std::printf("{\"drawn\":%lu}\n", static_cast<unsigned long>(drawn));
  return 0;
}
