// CTouchScreenDlg, the full-screen touch screen dialog: the calibration screen, the drawing test
// and the two multitouch views, all in one empty popup with its "Exit" button.
#pragma once

#include <windows.h>

#include <memory>

#include "common/settings_store.h"
#include "panel/win32/service_events_win32.h"

namespace zorvik::panel {

// A registered message the dialog answers with the number of frames its multi-point views have
// drawn: how the benchmark sees how many published frames reached the screen.
inline constexpr char kFramesDrawnMessage[] = "ZorvikTouchViewFramesDrawn";

class CTouchScreenDlg {
 public:
  enum ScreenMode : int { kCalibrationMode = 0, kDrawingTestMode = 1, kMultiTouchViewMode = 2 };

  // events: the panel's service event pointers (see panel/win32/service_events_win32.h); an
  // empty ServiceEventPointers{} when the caller gives none.
  CTouchScreenDlg(SettingsStore& store, int screen_mode, int multi_point,
                  ServiceEventPointers events);
  CTouchScreenDlg(const CTouchScreenDlg&) = delete;
  CTouchScreenDlg& operator=(const CTouchScreenDlg&) = delete;
  ~CTouchScreenDlg();

  // Shows the dialog modally over `parent`; returns when it is closed.
  INT_PTR DoModal(HWND parent);

 private:
  // The window side lives in the source file: the timers, the touch-data thread, the pens.
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zorvik::panel
