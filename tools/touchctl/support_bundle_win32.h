// touchctl bundle FOLDER: everything support needs from a customer's machine in one folder,
// built by running touchctl's own commands and the system's reg export one after another.
#pragma once

namespace zorvik {

// The steps print their progress; 0 when every step succeeded, 1 otherwise (the folder then
// holds what could be gathered and a note of what failed).
int SupportBundle(const char* folder);

}  // namespace zorvik
