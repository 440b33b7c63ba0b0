// Finds the USB touch controllers: the present device interfaces of the controller class.
#pragma once

#include <string>
#include <vector>

namespace zorvik {

inline constexpr std::size_t kMaxControllers = 128;

// Device interface paths in enumeration order; at most 128 (further ones are ignored).
std::vector<std::string> EnumerateControllers();

}  // namespace zorvik
