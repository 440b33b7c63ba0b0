// The damage list of the views: clipping, and merging, also when the list is full.
#include "panel/view_damage.h"

#include <algorithm>

namespace zorvik::panel {
namespace {

bool Touch(const DamageRect& a, const DamageRect& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

// The pixels a merge of the two adds to what they cover apart (counting their overlap twice).
std::int64_t Growth(const DamageRect& a, const DamageRect& b) {
  return Area(Union(a, b)) - Area(a) - Area(b);
}

}  // namespace

std::int64_t Area(const DamageRect& r) {
  // A side longer than any screen (only from rectangles spanning the 32-bit range) counts as
  // 2^30 pixels, so that areas and their sums stay within 64 bits.
  const auto side = [](std::int64_t from, std::int64_t to) {
    constexpr std::int64_t kLongest = std::int64_t{1} << 30;
    return std::clamp(to - from, -kLongest, kLongest);
  };
  return side(r.left, r.right) * side(r.top, r.bottom);
}

DamageRect Union(const DamageRect& a, const DamageRect& b) {
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

DamageRect Bounds(std::span<const DamageRect> places) {
  DamageRect box = places.front();
  for (const DamageRect& place : places.subspan(1))
    box = Union(box, place);
  return box;
}

DamageRect EllipseDamage(const EllipseBox& box, std::int32_t pen_width) {
  // The pen is centred on the outline, and a margin of a pixel more covers how the outline is
  // rounded at either corner order.
  const std::int64_t margin = pen_width / 2 + 2;
  const auto clamp = [](std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
  };
  return {clamp(std::int64_t{std::min(box.left, box.right)} - margin),
          clamp(std::int64_t{std::min(box.top, box.bottom)} - margin),
          clamp(std::int64_t{std::max(box.left, box.right)} + margin + 1),
          clamp(std::int64_t{std::max(box.top, box.bottom)} + margin + 1)};
}

DamageRect CellBlockDamage(std::int32_t rotation, CellRun x, CellRun y, const CellGrid& grid,
                           ViewSize size, std::int32_t pen_width) {
  return Union(EllipseDamage(CellEllipse(rotation, x.first, y.first, grid, size), pen_width),
               EllipseDamage(CellEllipse(rotation, x.last, y.last, grid, size), pen_width));
}

void DamageList::Reset(std::int32_t width, std::int32_t height) {
  width_ = width;
  height_ = height;
  count_ = 0;
  all_ = false;
}

void DamageList::Add(DamageRect rect) {
  if (all_) return;
  rect = {std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, width_),
          std::min(rect.bottom, height_)};
  if (rect.empty()) return;
  rect = Absorb(rect);
  if (count_ == kCapacity) {
    // Full: the place joins the listed one it grows least, and the union may reach others.
    std::size_t best = 0;
    for (std::size_t i = 1; i < count_; ++i) {
      if (Growth(rects_[i], rect) < Growth(rects_[best], rect)) best = i;
    }
    rect = Union(rects_[best], rect);
    rects_[best] = rects_[--count_];
    rect = Absorb(rect);
  }
  rects_[count_++] = rect;
}

DamageRect DamageList::Absorb(DamageRect rect) {
  // A merge may make the rectangle reach others: merge until none is touched.
  for (std::size_t i = 0; i < count_;) {
    if (Touch(rects_[i], rect)) {
      rect = Union(rects_[i], rect);
      rects_[i] = rects_[--count_];
      i = 0;
    } else {
      ++i;
    }
  }
  return rect;
}

}  // namespace zorvik::panel
