// drvsetup: registers the two driver packages (the virtual mouse driver and the USB touch
// controller driver) with the system's INF store. Run from the folder that holds the INF files.
#include <windows.h>
// setupapi.h needs windows.h first.
#include <setupapi.h>

#include <cstdio>
#include <cstring>

namespace {

struct DriverInf {
  const char* file;            // appended to the current directory
  const char* success_format;  // printed with the source path and the destination's file name
};

// The formats are printed exactly as they stand, the blank after the line break included.
constexpr DriverInf kDrivers[] = {
    {"\\MeridaxMouse.inf", "%s installed - %s\n "},
    {"\\tpusbdrv.inf", "%s installed-%s\n "},
};
constexpr char kFailureFormat[] = "%s not installed\n ";

// The current directory followed by `file`, in a MAX_PATH buffer; false when it does not fit
// (the path is then the directory as far as it fits, for the failure line).
bool SourcePath(const char* file, char (&path)[MAX_PATH]) {
  std::memset(path, 0, sizeof path);
  const DWORD length = GetCurrentDirectoryA(MAX_PATH, path);
  if (length == 0 || length >= MAX_PATH) {
    path[MAX_PATH - 1] = '\0';
    return false;
  }
  if (length + std::strlen(file) >= MAX_PATH) return false;
  std::strcat(path, file);
  return true;
}

void Install(const DriverInf& driver) {
  char source[MAX_PATH];
  char destination[MAX_PATH] = {};
  char* destination_name = nullptr;
  DWORD required = 0;
  if (SourcePath(driver.file, source) &&
      SetupCopyOEMInfA(source, nullptr, SPOST_PATH, 0, destination, MAX_PATH, &required,
                       &destination_name)) {
    std::printf(driver.success_format, source, destination_name ? destination_name : destination);
  } else {
    std::printf(kFailureFormat, source);
  }
}

}  // namespace

int main() {
  for (const DriverInf& driver : kDrivers)
    Install(driver);
  return 1;
}
