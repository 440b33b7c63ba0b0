// Message translation of the property-page framework.
#include "panel/win32/property_page_win32.h"

#include "panel/win32/control_reflection_win32.h"

namespace zorvik::panel {

PROPSHEETPAGEA PropertyPage::Describe(HINSTANCE instance) {
  PROPSHEETPAGEA page{};
  page.dwSize = sizeof page;
  page.dwFlags = PSP_DEFAULT;  // no PSP_HASHELP: no page shows a Help button
  page.hInstance = instance;
  page.pszTemplate = MAKEINTRESOURCEA(template_id_);
  page.pfnDlgProc = DialogProc;
  page.lParam = reinterpret_cast<LPARAM>(this);
  return page;
}

void PropertyPage::MarkModified() {
  PropSheet_Changed(GetParent(window_), window_);
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    const auto* sheet_page = reinterpret_cast<const PROPSHEETPAGEA*>(lparam);
    auto* page = reinterpret_cast<PropertyPage*>(sheet_page->lParam);
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
    page->window_ = window;
    return page->OnInitDialog();
  }
  auto* page = reinterpret_cast<PropertyPage*>(GetWindowLongPtrA(window, DWLP_USER));
  if (page == nullptr) return FALSE;
  return page->Dispatch(message, wparam, lparam);
}

INT_PTR PropertyPage::Dispatch(UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT reflected = 0;
  if (ReflectedControl::Reflect(message, wparam, lparam, &reflected)) {
    SetWindowLongPtrA(window_, DWLP_MSGRESULT, reflected);
    return TRUE;
  }
  if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lparam)->code == PSN_APPLY) {
    OnApply();
    SetWindowLongPtrA(window_, DWLP_MSGRESULT, PSNRET_NOERROR);
    return TRUE;
  }
  if (message == WM_COMMAND &&
      OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam))) {
    return TRUE;
  }
  INT_PTR result = FALSE;
  if (OnMessage(message, wparam, lparam, &result)) return result;
  if (message == WM_DESTROY) window_ = nullptr;
  return FALSE;
}

}  // namespace zorvik::panel
