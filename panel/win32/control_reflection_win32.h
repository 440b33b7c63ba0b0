// Notifications a control answers itself: a parent dialog hands WM_NOTIFY, WM_COMMAND,
// WM_DRAWITEM and WM_HSCROLL from a bound control back to that control's object first, so
// owner-drawn and custom-drawn controls keep their drawing to themselves.
#pragma once

#include <windows.h>

namespace zorvik::panel {

class ReflectedControl {
 public:
  virtual ~ReflectedControl() = default;

  // A notification the parent received from this control. Returns true when it was handled;
  // *result is then the value the parent returns for the message.
  virtual bool OnReflected(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) = 0;

  // Binds `object` to `control` (nullptr unbinds). The object must outlive the binding.
  static void Bind(HWND control, ReflectedControl* object);
  // Offers a parent's message to the control it came from. True when that control handled it.
  static bool Reflect(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
};

}  // namespace zorvik::panel
