// Numbered registry names.
#include "common/settings_schema.h"

#include <cstdio>

namespace zorvik::schema {

std::string NumberedName(const char* format, int number) {
  char name[128];
  const int length = std::snprintf(name, sizeof name, format, number);
  if (length < 0) return {};
  return std::string(name,
                     static_cast<std::size_t>(length) < sizeof name ? length : sizeof name - 1);
}

std::string GeneralEntry(const char* format, int monitor) {
  return std::string(kGeneral) + "\\" + NumberedName(format, monitor);
}

}  // namespace zorvik::schema
