// Finds the USB touch controllers: the present device interfaces of the controller class.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/kernel_object_names.h"
#include "common/win32/guid_text_win32.h"

namespace zorvik {

// The device interface class of the controllers.
inline constexpr GUID kControllerInterface = GuidFromText(names::kUsbInterfaceClassGuid);

inline constexpr std::size_t kMaxControllers = 128;

// Device interface paths in enumeration order; at most 128 (further ones are ignored).
std::vector<std::string> EnumerateControllers();

}  // namespace zorvik
