// CTreePropSheet: the panel's modal property sheet, shown as an ordinary tabbed sheet with OK,
// Cancel and Apply and no Help button.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>

#include "panel/win32/property_page_win32.h"

namespace zorvik::panel {

class CTreePropSheet {
 public:
  static constexpr std::size_t kMaxPages = 7;

  CTreePropSheet(const char* caption, int start_page)
      : caption_(caption), start_page_(start_page) {}

  // Pages are shown in the order they are added; the sheet does not own them.
  bool AddPage(PropertyPage& page);
  void SetActivePage(int index) { start_page_ = index; }
  // Runs the sheet modally, without a parent; the property sheet's result (1 after OK, 0 after
  // Cancel, -1 when it could not be shown).
  INT_PTR DoModal(HINSTANCE instance);

 private:
  const char* caption_;
  int start_page_;
  std::array<PropertyPage*, kMaxPages> pages_{};
  std::size_t count_ = 0;
};

}  // namespace zorvik::panel
