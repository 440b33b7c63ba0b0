// touchctl calibration: the calibration report over the registry.
#include <cstdio>
#include <cstring>

#include "common/registry_settings_store_win32.h"
#include "tools/common/calibration_report.h"
#include "tools/touchctl/profile_win32.h"

namespace zorvik {

int CalibrationCommand(int argc, char** argv) {
  const bool json = argc == 3 && std::strcmp(argv[2], "--json") == 0;
  if (argc > 3 || (argc == 3 && !json)) return 2;
  RegistrySettingsStore store;
  for (const MonitorCalibration& calibration : ReadCalibrations(store)) {
    if (json) {
      std::printf("%s\n", CalibrationJson(calibration).c_str());
    } else {
      std::fputs(CalibrationWords(calibration).c_str(), stdout);
    }
  }
  return 0;
}

}  // namespace zorvik
