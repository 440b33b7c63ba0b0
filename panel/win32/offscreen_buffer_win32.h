// The off-screen buffer of one paint: a memory DC and bitmap in which a window draws its whole
// picture, copied to the window in one step so that nothing flickers.
#pragma once

#include <windows.h>

#include "common/win32/handle_win32.h"

namespace zorvik::panel {

// The memory DC and bitmap of one off-screen paint, with the bitmap selected while it lives.
class OffscreenBuffer {
 public:
  OffscreenBuffer(HDC target, int width, int height)
      : dc_(CreateCompatibleDC(target)), bitmap_(CreateCompatibleBitmap(target, width, height)) {
    if (dc_ != nullptr && bitmap_) old_ = SelectObject(dc_, bitmap_.get());
  }
  ~OffscreenBuffer() {
    if (old_ != nullptr) SelectObject(dc_, old_);  // the bitmap is freed unselected
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  OffscreenBuffer(const OffscreenBuffer&) = delete;
  OffscreenBuffer& operator=(const OffscreenBuffer&) = delete;

  HDC dc() const { return old_ != nullptr ? dc_ : nullptr; }

 private:
  HDC dc_;
  ScopedGdiObject<HBITMAP> bitmap_;
  HGDIOBJ old_ = nullptr;
};

}  // namespace zorvik::panel
