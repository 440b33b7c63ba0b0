// The owner of a SetupAPI device information set (programs using it link setupapi).
#pragma once

#include <windows.h>
// setupapi.h needs windows.h first.
#include <setupapi.h>

#include "common/win32/handle_win32.h"

namespace zorvik {

struct DeviceInfoSetTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE set) { SetupDiDestroyDeviceInfoList(set); }
};
using ScopedDeviceInfoSet = ScopedHandle<DeviceInfoSetTraits>;

}  // namespace zorvik
