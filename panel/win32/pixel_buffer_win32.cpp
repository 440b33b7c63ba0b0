// Top-down 32-bit DIB sections.
#include "panel/win32/pixel_buffer_win32.h"

namespace zorvik::panel {

ScopedGdiObject<HBITMAP> CreatePixelBitmap(HDC dc, int width, int height, PixelBuffer& pixels) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  ScopedGdiObject<HBITMAP> bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  pixels = bitmap ? PixelBuffer{static_cast<std::uint32_t*>(bits), width, height} : PixelBuffer{};
  return bitmap;
}

}  // namespace zorvik::panel
