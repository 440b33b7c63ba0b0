// CDrawnSlider: a trackbar whose thumb and channel the program draws itself, answering the
// trackbar's custom-draw notification reflected by the parent. Tick marks stay the system's.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <array>

#include "common/win32/handle_win32.h"
#include "panel/win32/control_reflection_win32.h"

namespace zorvik::panel {

class CDrawnSlider : public ReflectedControl {
 public:
  // Takes the system colours and makes the pens of every shade.
  CDrawnSlider();
  ~CDrawnSlider() override;
  CDrawnSlider(const CDrawnSlider&) = delete;
  CDrawnSlider& operator=(const CDrawnSlider&) = delete;

  void Attach(HWND trackbar);
  HWND Window() const { return window_; }

  bool OnReflected(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;

  // The face colour moved `steps` times by 51 per channel towards white (+) or black (-).
  static COLORREF Shade(COLORREF face, int steps);

 private:
  using ScopedPen = ScopedGdiObject<HPEN>;

  // Darker2, Darker1, Face, Lighter1, Lighter2: a pressed thumb uses every shade one up.
  static constexpr int kShades = 5;
  static constexpr int kFace = 2;

  LRESULT CustomDraw(const NMCUSTOMDRAW& draw) const;
  void DrawThumb(HDC dc, const RECT& rect, bool pressed) const;
  void DrawChannel(HDC dc, const RECT& rect) const;
  HPEN ShadePen(int index) const;

  HWND window_ = nullptr;
  COLORREF face_;
  COLORREF channel_;
  COLORREF selection_;
  std::array<COLORREF, kShades> shades_{};
  COLORREF edge_light_;  // halfway between button face and shadow
  COLORREF edge_dark_;   // halfway between shadow and dark shadow
  std::array<ScopedPen, kShades> shade_pens_;
  ScopedPen edge_light_pen_;
  ScopedPen edge_dark_pen_;
};

}  // namespace zorvik::panel
