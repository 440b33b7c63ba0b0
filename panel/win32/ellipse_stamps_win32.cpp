// Ellipse shapes taken once from GDI and stamped into the frame buffer.
#include "panel/win32/ellipse_stamps_win32.h"

#include <algorithm>

namespace zorvik::panel {
namespace {

// Colours no ellipse draws with the black pen: the scratch's background and the fill it is
// drawn with, told apart from the outline afterwards.
constexpr std::uint32_t kBackdrop = 0x00010203;
constexpr COLORREF kProbeFill = RGB(0xFF, 0x00, 0xFF);

// A 32-bit DIB pixel of `colour` (blue in the low byte).
std::uint32_t PixelOf(COLORREF colour) {
  return (std::uint32_t{GetRValue(colour)} << 16) | (std::uint32_t{GetGValue(colour)} << 8) |
         GetBValue(colour);
}

}  // namespace

EllipseStamps::EllipseStamps() {
  if (!scratch_.Make(nullptr, kSide, kSide)) return;
  SelectObject(scratch_.dc(), GetStockObject(BLACK_PEN));
  SelectObject(scratch_.dc(), GetStockObject(DC_BRUSH));
  SetDCBrushColor(scratch_.dc(), kProbeFill);
}

bool EllipseStamps::Take(const EllipseBox& shape, Stamp& stamp) {
  stamp.valid = false;
  std::uint32_t* pixels = scratch_.pixels().bits;
  if (pixels == nullptr) return false;
  std::fill_n(pixels, kSide * kSide, kBackdrop);
  Ellipse(scratch_.dc(), shape.left + kMargin, shape.top + kMargin, shape.right + kMargin,
          shape.bottom + kMargin);
  GdiFlush();
  const std::uint32_t fill = PixelOf(kProbeFill);
  bool outlined = false;
  stamp.top = stamp.left = kSide;
  stamp.bottom = stamp.right = 0;
  for (int k = 0; k < kSide * kSide; ++k) {
    const std::uint32_t pixel = pixels[k];
    if (pixel == kBackdrop) {
      stamp.marks[k] = kUntouched;
      continue;
    }
    if (pixel == fill) {
      stamp.marks[k] = kFill;
    } else {
      // One pen draws the outline in one colour; anything else is not a shape to copy.
      if (outlined && pixel != stamp.outline) return false;
      stamp.outline = pixel;
      outlined = true;
      stamp.marks[k] = kOutline;
    }
    const int row = k / kSide, col = k % kSide;
    stamp.top = std::min(stamp.top, row);
    stamp.bottom = std::max(stamp.bottom, row + 1);
    stamp.left = std::min(stamp.left, col);
    stamp.right = std::max(stamp.right, col + 1);
  }
  // What reaches the scratch's edge may have been cut off there.
  for (int k = 0; k < kSide; ++k) {
    if (stamp.marks[k] != kUntouched || stamp.marks[(kSide - 1) * kSide + k] != kUntouched ||
        stamp.marks[k * kSide] != kUntouched || stamp.marks[k * kSide + kSide - 1] != kUntouched) {
      return false;
    }
  }
  stamp.shape = shape;
  stamp.valid = true;
  return true;
}

const EllipseStamps::Stamp* EllipseStamps::Find(const EllipseBox& shape) {
  for (const Stamp& stamp : stamps_) {
    if (stamp.valid && stamp.shape == shape) return &stamp;
  }
  Stamp& stamp = stamps_[next_];
  next_ = (next_ + 1) % kStampCount;
  return Take(shape, stamp) ? &stamp : nullptr;
}

bool EllipseStamps::Draw(const EllipseBox& box, COLORREF fill, const PixelBuffer& target) {
  const std::int64_t x0 = std::min(box.left, box.right);
  const std::int64_t y0 = std::min(box.top, box.bottom);
  if (std::max<std::int64_t>(box.left, box.right) - x0 > kMaxBox ||
      std::max<std::int64_t>(box.top, box.bottom) - y0 > kMaxBox || target.bits == nullptr) {
    return false;
  }
  const auto left = static_cast<std::int32_t>(x0), top = static_cast<std::int32_t>(y0);
  const Stamp* stamp = Find({box.left - left, box.top - top, box.right - left, box.bottom - top});
  if (stamp == nullptr) return false;
  const std::uint32_t fill_pixel = PixelOf(fill);
  // The stamp's pixel (0, 0) lies kMargin up and left of the box's nearer corner.
  const std::int64_t origin_x = x0 - kMargin, origin_y = y0 - kMargin;
  // Clipped to the target: rows and columns of the stamp, all within it.
  const std::int64_t first_row = std::max<std::int64_t>(stamp->top, -origin_y);
  const std::int64_t end_row = std::min<std::int64_t>(stamp->bottom, target.height - origin_y);
  const std::int64_t first_col = std::max<std::int64_t>(stamp->left, -origin_x);
  const std::int64_t end_col = std::min<std::int64_t>(stamp->right, target.width - origin_x);
  for (std::int64_t row = first_row; row < end_row; ++row) {
    const std::uint8_t* marks = &stamp->marks[row * kSide];
    std::uint32_t* line = target.bits + (origin_y + row) * target.width;
    for (std::int64_t col = first_col; col < end_col; ++col) {
      if (marks[col] == kFill) {
        line[origin_x + col] = fill_pixel;
      } else if (marks[col] == kOutline) {
        line[origin_x + col] = stamp->outline;
      }
    }
  }
  return true;
}

}  // namespace zorvik::panel
