// CLinkButton: an owner-drawn push button shown as a web link. It draws itself and handles its
// own click through the parent's reflection, tracks hover, shows a tooltip and a hand cursor,
// and opens prefix + address (or prefix + caption) with the shell.
#pragma once

#include <windows.h>

#include <string>

#include "common/win32/handle_win32.h"
#include "panel/win32/control_reflection_win32.h"

namespace zorvik::panel {

class CLinkButton : public ReflectedControl {
 public:
  CLinkButton();
  ~CLinkButton() override;
  CLinkButton(const CLinkButton&) = delete;
  CLinkButton& operator=(const CLinkButton&) = delete;

  // Takes over a BS_OWNERDRAW push button (on its thread). Does nothing if one is attached.
  void Attach(HWND button);
  HWND Window() const { return window_; }

  void SetURL(const char* url);
  void SetURLPrefix(const char* prefix);
  // An empty text makes the tooltip show what a click would open.
  void SetToolTipText(const char* text);
  // Resizes the button to its caption's extent in its font, keeping its position.
  void SizeToContent();

  bool Visited() const { return visited_; }
  // What a click opens: prefix + address, or prefix + caption when the address is empty.
  std::string LinkTarget() const;

  // Sent to the parent when the shell cannot open the link: wParam = the button's control id,
  // lParam = the button.
  static UINT LinkClickedMessage();
  // Resource 106 of the Windows directory's help viewer, else the system hand, loaded once.
  static HCURSOR LinkCursor();

  bool OnReflected(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;

 private:
  using ScopedFont = ScopedGdiObject<HFONT>;

  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR id, DWORD_PTR data);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Click();
  void DrawItem(const DRAWITEMSTRUCT& item);
  void RelayToToolTip(UINT message, WPARAM wparam, LPARAM lparam);
  void UpdateToolTip();
  std::string Caption() const;
  void Redraw();
  void Detach();

  HWND window_ = nullptr;
  HWND tooltip_ = nullptr;
  std::string url_;
  std::string prefix_;
  std::string tooltip_text_;

  COLORREF normal_colour_;
  COLORREF hover_colour_ = RGB(0, 0, 255);
  COLORREF visited_colour_ = RGB(128, 0, 128);
  COLORREF disabled_colour_;

  bool hovering_ = false;
  bool visited_ = false;
  bool tracking_ = false;  // hover and leave tracking armed
  bool armed_ = false;     // Enter or Space went down on the button
  bool sized_to_content_ = false;
  ScopedFont underlined_font_;
};

}  // namespace zorvik::panel
