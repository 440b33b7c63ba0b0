// How a view's frame reaches the display. Under Wine a present sends the bounding box of all that
// was copied to the window since the last one: fingers spread over the screen make that box most
// of the screen. Each present also costs a request and a wake-up of the display, so a frame's
// places are split into a few groups, each presented on its own, only where a split saves more
// pixels than a present costs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "panel/view_damage.h"

namespace zorvik::panel {

// What one present costs, in pixels of the display's copy.
inline constexpr std::int64_t kPresentCost = 16384;
// The most presents a frame makes.
inline constexpr std::size_t kMaxPresents = 4;

// Orders `places` so that each group is a run and writes, for each group, the index past its last
// place into `group_ends`. The groups come from splitting, as long as a split saves more than
// kPresentCost pixels and fewer than kMaxPresents groups exist, the group with the largest box
// in two at the point along x or y that leaves the two smallest boxes. The number of groups.
std::size_t GroupForPresenting(std::span<DamageRect> places,
                               std::span<std::size_t, kMaxPresents> group_ends);

}  // namespace zorvik::panel
