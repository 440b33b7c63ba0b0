// Orbisk /calibrate: the kiosk calibration, a full-screen window on one monitor without the
// property sheet, ending with an exit code a script can test.
#pragma once

#include <windows.h>

namespace zorvik::panel {

// True when the command line asks for the kiosk calibration ("/calibrate").
bool WantsKioskCalibration(const char* command_line);

// Runs it: /monitor N (default the active monitor), /points 3|5|9 (default 5), /timeout S
// (default 30, 0 for none), /max-error MM (default 2). Returns the exit code: 0 calibrated,
// 1 cancelled or timed out, 2 degenerate touches, 3 the check failed (nothing stored), 4 the
// settings cannot be written or the arguments name no monitor, point count or number.
int RunKioskCalibration(HINSTANCE instance, const char* command_line);

}  // namespace zorvik::panel
