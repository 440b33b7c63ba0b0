// Memory device contexts over top-down 32-bit DIB sections.
#include "panel/win32/pixel_buffer_win32.h"

namespace zorvik::panel {

bool PixelSurface::Make(HDC dc, int width, int height) {
  Free();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  bitmap_.reset(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  dc_ = CreateCompatibleDC(dc);
  if (!bitmap_ || dc_ == nullptr) {
    Free();
    return false;
  }
  old_ = SelectObject(dc_, bitmap_.get());
  pixels_ = {static_cast<std::uint32_t*>(bits), width, height};
  return true;
}

void PixelSurface::Free() {
  if (dc_ != nullptr) {
    if (old_ != nullptr) SelectObject(dc_, old_);  // the bitmap is freed unselected
    DeleteDC(dc_);
  }
  dc_ = nullptr;
  old_ = nullptr;
  pixels_ = {};
  bitmap_.reset();
}

}  // namespace zorvik::panel
