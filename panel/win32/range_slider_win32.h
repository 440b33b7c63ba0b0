// CRangeSlider: the two-handle slider window. Dialog templates create windows of the class
// "MFCRangeSlider" by name; Attach gives such a window its behaviour (drag, arrow keys,
// painting) over a RangeSliderModel and tells the parent of every range change.
#pragma once

#include <windows.h>

#include "panel/range_slider_model.h"

namespace zorvik::panel {

class CRangeSlider {
 public:
  static constexpr char kClassName[] = "MFCRangeSlider";

  // Registers the window class when no class of that name exists yet in this process.
  CRangeSlider();
  ~CRangeSlider();
  CRangeSlider(const CRangeSlider&) = delete;
  CRangeSlider& operator=(const CRangeSlider&) = delete;

  // Subclasses `window` (on the calling thread, which must own it). False when the window does
  // not exist or this object already drives one.
  bool Attach(HWND window);
  HWND Window() const { return window_; }

  void SetMinMax(double min, double max);
  void SetRange(double left, double right);
  void GetRange(double& left, double& right) const;

  // Sent (not posted) to the parent: wParam = the slider's control id, lParam = its window.
  static UINT RangeChangedMessage();

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                       UINT_PTR id, DWORD_PTR data);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void Press(int x);
  void Release();
  void Layout();
  void Paint(HDC target);
  void Draw(HDC dc, const RECT& client);
  void NotifyParent();
  void Redraw();
  void Detach();

  HWND window_ = nullptr;
  RangeSliderModel model_;
};

}  // namespace zorvik::panel
