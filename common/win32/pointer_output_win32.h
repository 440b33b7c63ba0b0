// The pointer output of both services on Windows: records to the virtual mouse driver through
// the service's handle, mouse_event elsewhere.
#pragma once

#include <windows.h>

#include "common/pointer_emit.h"
#include "common/win32/handle_win32.h"

namespace zorvik {

class VirtualMouseOutput final : public PointerOutput {
 public:
  // `mouse_device` is the service's handle, empty while the device is not open.
  explicit VirtualMouseOutput(const ScopedFileHandle* mouse_device) : mouse_device_(mouse_device) {}

  void WriteRecord(const MouseInputData& record) override {
    if (!*mouse_device_) return;
    DWORD written = 0;
    WriteFile(mouse_device_->get(), record.data(), static_cast<DWORD>(record.size()), &written,
              nullptr);
  }

  void MouseEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy, std::uint32_t data,
                  std::uint32_t extra) override {
    mouse_event(flags, static_cast<DWORD>(dx), static_cast<DWORD>(dy), data, extra);
  }

 private:
  const ScopedFileHandle* mouse_device_;
};

}  // namespace zorvik
