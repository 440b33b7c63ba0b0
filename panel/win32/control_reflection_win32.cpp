// Finds the control a parent's message came from and hands the message to its bound object.
#include "panel/win32/control_reflection_win32.h"

#include <commctrl.h>

namespace zorvik::panel {
namespace {

constexpr char kBindingProperty[] = "ZorvikReflectedControl";

HWND SourceOf(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NOTIFY:
      return lparam != 0 ? reinterpret_cast<const NMHDR*>(lparam)->hwndFrom : nullptr;
    case WM_DRAWITEM:
      return lparam != 0 ? reinterpret_cast<const DRAWITEMSTRUCT*>(lparam)->hwndItem : nullptr;
    case WM_COMMAND:
      return HIWORD(wparam) != 0 || lparam != 0 ? reinterpret_cast<HWND>(lparam) : nullptr;
    case WM_HSCROLL:
    case WM_VSCROLL:
      return reinterpret_cast<HWND>(lparam);
    default:
      return nullptr;
  }
}

}  // namespace

void ReflectedControl::Bind(HWND control, ReflectedControl* object) {
  if (control == nullptr) return;
  if (object == nullptr) {
    RemovePropA(control, kBindingProperty);
  } else {
    SetPropA(control, kBindingProperty, object);
  }
}

bool ReflectedControl::Reflect(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  HWND source = SourceOf(message, wparam, lparam);
  if (source == nullptr) return false;
  auto* object = static_cast<ReflectedControl*>(GetPropA(source, kBindingProperty));
  return object != nullptr && object->OnReflected(message, wparam, lparam, result);
}

}  // namespace zorvik::panel
