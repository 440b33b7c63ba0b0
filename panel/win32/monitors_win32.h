// The system's monitors, as the panel's pages and the touch screen dialog see them.
#pragma once

#include <vector>

#include "panel/display_mapping_model.h"

namespace zorvik::panel {

// Every monitor in the order the system enumerates them: device name and full rectangle.
std::vector<Monitor> EnumerateMonitors();

}  // namespace zorvik::panel
