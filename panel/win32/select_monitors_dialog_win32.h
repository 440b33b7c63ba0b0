// CSelectMonitorsDlg, the "Select monitors" dialog of the "Mapping>>" button: two items,
// "Display00" and "Display01"; a double click on one ends the dialog with 500 + its index.
#pragma once

#include <windows.h>

namespace zorvik::panel {

class CSelectMonitorsDlg {
 public:
  // Runs the dialog modally over `parent`: 500 or 501 for a double-clicked item, IDOK or
  // IDCANCEL when it is closed otherwise, -1 when it could not be created.
  static INT_PTR DoModal(HWND parent);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static void Fill(HWND window);
};

}  // namespace zorvik::panel
