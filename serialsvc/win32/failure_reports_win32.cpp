// Failure boxes shown once a rebuild is over.
#include "serialsvc/win32/failure_reports_win32.h"

#include <cstdio>

namespace zorvik {

void FailureReports::AddIfFailed(DWORD code, const char* caption) {
  if (code == 0) return;
  if (count_ == kCapacity) {
    ++dropped_;
    return;
  }
  reports_[count_++] = {caption, code};
}

void FailureReports::Show(const std::atomic<bool>& go_on) const {
  for (std::size_t k = 0; k < count_ && go_on; ++k) {
    char text[512] = {};
    if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       reports_[k].code, 0, text, sizeof text, nullptr) == 0) {
      std::snprintf(text, sizeof text, "Error %lu", static_cast<unsigned long>(reports_[k].code));
    }
    MessageBoxA(nullptr, text, reports_[k].caption, MB_ICONINFORMATION);
  }
}

}  // namespace zorvik
