// The pointer output of both services on Windows: records to the virtual mouse driver through
// the service's handle, mouse_event elsewhere.
#pragma once

#include <windows.h>

#include "common/pointer_emit.h"

namespace zorvik {

class VirtualMouseOutput final : public PointerOutput {
 public:
  // `mouse_device` is the service's handle, invalid (or null) while the device is not open.
  explicit VirtualMouseOutput(const HANDLE* mouse_device) : mouse_device_(mouse_device) {}

  void WriteRecord(const MouseInputData& record) override {
    const HANDLE mouse = *mouse_device_;
    if (mouse == INVALID_HANDLE_VALUE || mouse == nullptr) return;
    DWORD written = 0;
    WriteFile(mouse, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  }

  void MouseEvent(std::uint32_t flags, std::int32_t dx, std::int32_t dy, std::uint32_t data,
                  std::uint32_t extra) override {
    mouse_event(flags, static_cast<DWORD>(dx), static_cast<DWORD>(dy), data, extra);
  }

 private:
  const HANDLE* mouse_device_;
};

}  // namespace zorvik
