// touchctl calibration and touchctl profile export|import.
#pragma once

namespace zorvik {

// touchctl calibration [--json]: each monitor's matrix, its errors and when it was made.
int CalibrationCommand(int argc, char** argv);
// touchctl profile export FILE | profile import FILE.
int ProfileCommand(int argc, char** argv);

}  // namespace zorvik
