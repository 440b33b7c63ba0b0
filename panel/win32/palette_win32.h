// The plain colours the full-screen windows draw with: calibration, drawing test, the multi-point
// views and the kiosk calibration.
#pragma once

#include <windows.h>

namespace zorvik::panel {

inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kYellow = RGB(255, 255, 0);
inline constexpr COLORREF kGreen = RGB(0, 255, 0);

}  // namespace zorvik::panel
