// Splitting a frame's places into the groups presented apart.
#include "panel/view_present.h"

#include <algorithm>
#include <array>

namespace zorvik::panel {
namespace {

struct Split {
  std::int64_t area = 0;  // of the two boxes together
  std::size_t at = 0;     // the first place of the second group
  bool vertical = false;  // ordered by x
};

// The best cut of `places` ordered along one axis: prefix boxes into `prefix`, then a sweep from
// the end. Leaves `places` in that order.
Split BestCut(std::span<DamageRect> places, bool vertical, std::span<DamageRect> prefix) {
  std::sort(places.begin(), places.end(), [vertical](const DamageRect& a, const DamageRect& b) {
    // Centres, doubled, in 64 bits: a rectangle may span the whole 32-bit range.
    return vertical ? std::int64_t{a.left} + a.right < std::int64_t{b.left} + b.right
                    : std::int64_t{a.top} + a.bottom < std::int64_t{b.top} + b.bottom;
  });
  prefix[0] = places[0];
  for (std::size_t i = 1; i < places.size(); ++i)
    prefix[i] = Union(prefix[i - 1], places[i]);
  Split best{Area(prefix[places.size() - 1]), 0, vertical};
  DamageRect suffix = places.back();
  for (std::size_t at = places.size() - 1; at > 0; --at) {
    suffix = Union(suffix, places[at]);
    const std::int64_t area = Area(prefix[at - 1]) + Area(suffix);
    if (area < best.area) best = {area, at, vertical};
  }
  return best;
}

}  // namespace

std::size_t GroupForPresenting(std::span<DamageRect> places,
                               std::span<std::size_t, kMaxPresents> group_ends) {
  if (places.empty()) return 0;
  if (places.size() > DamageList::kCapacity) {
    group_ends[0] = places.size();  // more than a frame lists: one present
    return 1;
  }
  std::array<DamageRect, DamageList::kCapacity> prefix{};
  // Groups as [begin, end) runs of `places`, in place order.
  std::array<std::size_t, kMaxPresents + 1> bounds{0, places.size()};
  std::size_t groups = 1;
  while (groups < kMaxPresents) {
    // The group sending the most pixels is the one to split.
    std::size_t widest = 0;
    std::int64_t widest_area = -1;
    for (std::size_t g = 0; g < groups; ++g) {
      const auto run = places.subspan(bounds[g], bounds[g + 1] - bounds[g]);
      const std::int64_t area = run.size() > 1 ? Area(Bounds(run)) : -1;
      if (area > widest_area) {
        widest = g;
        widest_area = area;
      }
    }
    if (widest_area < 0) break;
    const auto run = places.subspan(bounds[widest], bounds[widest + 1] - bounds[widest]);
    const Split by_y = BestCut(run, false, prefix);
    const Split by_x = BestCut(run, true, prefix);
    const Split best = by_x.area <= by_y.area ? by_x : by_y;
    if (widest_area - best.area <= kPresentCost) break;
    if (!best.vertical) BestCut(run, false, prefix);  // back to the order of the cut
    std::copy_backward(bounds.begin() + widest + 1, bounds.begin() + groups + 1,
                       bounds.begin() + groups + 2);
    bounds[widest + 1] = bounds[widest] + best.at;
    ++groups;
  }
  for (std::size_t g = 0; g < groups; ++g)
    group_ends[g] = bounds[g + 1];
  return groups;
}

}  // namespace zorvik::panel
