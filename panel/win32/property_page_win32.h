// The panel's property-page framework over the comctl32 property sheet: one object per page,
// bound to its dialog template; the dialog procedure only translates messages into the page's
// handlers. A page's window exists only after its tab was first shown.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include "panel/win32/service_events_win32.h"

namespace zorvik::panel {

class PropertyPage {
 public:
  explicit PropertyPage(int template_id) : template_id_(template_id) {}
  virtual ~PropertyPage() = default;
  PropertyPage(const PropertyPage&) = delete;
  PropertyPage& operator=(const PropertyPage&) = delete;

  int template_id() const { return template_id_; }
  // The sheet's description of this page: its template, whose caption is the tab's, and no
  // Help button.
  PROPSHEETPAGEA Describe(HINSTANCE instance);

  // Pages that signal the services get the start-up's four event pointers before the sheet runs.
  void SetEventPointers(const ServiceEventPointers& events) { events_ = events; }

 protected:
  // First time the tab is shown. Return value as for WM_INITDIALOG.
  virtual BOOL OnInitDialog() { return TRUE; }
  // Apply or OK (PSN_APPLY); only pages that were shown get it.
  virtual void OnApply() {}
  // WM_COMMAND from a control; true when handled.
  virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
  // Any other message (timers, scrolls, notifications); true when handled, *result its value.
  virtual bool OnMessage(UINT /*message*/, WPARAM /*wparam*/, LPARAM /*lparam*/,
                         INT_PTR* /*result*/) {
    return false;
  }

  HWND window() const { return window_; }
  HWND Item(int id) const { return GetDlgItem(window_, id); }
  // Enables the sheet's Apply button.
  void MarkModified();
  const ServiceEventPointers& events() const { return events_; }
  void Signal(ServiceRole role) const { SignalServices(events_, role); }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR Dispatch(UINT message, WPARAM wparam, LPARAM lparam);

  int template_id_;
  HWND window_ = nullptr;
  ServiceEventPointers events_;
};

}  // namespace zorvik::panel
