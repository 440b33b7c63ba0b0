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

// A memory device context with such a bitmap (a DIB section) selected while it lives.
class PixelSurface {
 public:
  PixelSurface() = default;
  ~PixelSurface() { Free(); }
  PixelSurface(const PixelSurface&) = delete;
  PixelSurface& operator=(const PixelSurface&) = delete;

  // A new bitmap of `width` x `height`, compatible with `dc` (may be null); the old one is
  // freed first. False, with nothing held, when it cannot be made.
  bool Make(HDC dc, int width, int height);
  void Free();

  HDC dc() const { return dc_; }
  const PixelBuffer& pixels() const { return pixels_; }

 private:
  HDC dc_ = nullptr;
  ScopedGdiObject<HBITMAP> bitmap_;
  HGDIOBJ old_ = nullptr;
  PixelBuffer pixels_;
};

}  // namespace zorvik::panel
