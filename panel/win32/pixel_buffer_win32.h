// Top-down 32-bit bitmaps whose pixels the views write and read directly.
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/win32/handle_win32.h"

namespace zorvik::panel {

// A top-down 32-bit buffer's pixels: `width` a row, blue in the low byte.
struct PixelBuffer {
  std::uint32_t* bits = nullptr;
  int width = 0;
  int height = 0;
};

// A DIB section of `width` x `height` such pixels, compatible with `dc` (may be null); `pixels`
// gets its bits, or nothing when it cannot be made.
ScopedGdiObject<HBITMAP> CreatePixelBitmap(HDC dc, int width, int height, PixelBuffer& pixels);

}  // namespace zorvik::panel
