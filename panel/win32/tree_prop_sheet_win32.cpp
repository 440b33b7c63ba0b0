// Building and running the property sheet.
#include "panel/win32/tree_prop_sheet_win32.h"

#include "panel/panel_resources.h"

namespace zorvik::panel {

bool CTreePropSheet::AddPage(PropertyPage& page) {
  if (count_ == pages_.size()) return false;
  pages_[count_++] = &page;
  return true;
}

INT_PTR CTreePropSheet::DoModal(HINSTANCE instance) {
  std::array<PROPSHEETPAGEA, kMaxPages> descriptions{};
  for (std::size_t i = 0; i < count_; ++i)
    descriptions[i] = pages_[i]->Describe(instance);
  PROPSHEETHEADERA header{};
  header.dwSize = sizeof header;
  // No PSH_HASHELP: the sheet has no Help button.
  header.dwFlags = PSH_PROPSHEETPAGE | PSH_USEICONID;
  header.hwndParent = nullptr;
  header.hInstance = instance;
  header.pszIcon = MAKEINTRESOURCEA(IDI_ORBISK);
  header.pszCaption = caption_;
  header.nPages = static_cast<UINT>(count_);
  header.nStartPage = static_cast<UINT>(start_page_);
  header.ppsp = descriptions.data();
  return PropertySheetA(&header);
}

}  // namespace zorvik::panel
