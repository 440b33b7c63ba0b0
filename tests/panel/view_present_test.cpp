// Splitting a frame's places into the groups presented apart: every place is presented once,
// and a split is made only where it saves the display more than a present costs.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "panel/view_present.h"

namespace zorvik::panel {
namespace {

DamageRect Mark(std::int32_t x, std::int32_t y) {
  return {x, y, x + 24, y + 24};
}

struct Case {
  std::string name;
  std::vector<DamageRect> places;
  std::size_t groups;
};

TEST(ViewPresent, PlacesAreSplitOnlyWhereASplitSavesMoreThanAPresent) {
  // A column of point rows at the left, as the point view writes them.
  const DamageRect rows{5, 60, 190, 760};
  std::vector<DamageRect> spread{rows};
  for (int i = 0; i < 10; ++i)
    spread.push_back(Mark(90 + 90 * i, 120 + 60 * (i % 10)));
  const std::vector<Case> cases = {
      {"nothing changed", {}, 0},
      {"one place", {Mark(500, 400)}, 1},
      {"two marks side by side", {Mark(500, 400), Mark(530, 400)}, 1},
      {"two marks at opposite corners", {Mark(0, 0), Mark(1000, 744)}, 2},
      {"the rows and one far mark", {rows, Mark(900, 700)}, 2},
      {"the rows and marks all over the screen", spread, kMaxPresents},
      {"places at the ends of the 32-bit range",
       {{INT32_MIN, INT32_MIN, INT32_MIN + 24, INT32_MIN + 24},
        {INT32_MAX - 24, INT32_MAX - 24, INT32_MAX, INT32_MAX}},
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<DamageRect> places = c.places;
    std::array<std::size_t, kMaxPresents> ends{};
    const std::size_t groups = GroupForPresenting(places, ends);
    ASSERT_EQ(groups, c.groups);
    // The same places, each once, in runs that end at the last place.
    auto order = [](const DamageRect& a, const DamageRect& b) {
      return std::tie(a.left, a.top, a.right, a.bottom) <
             std::tie(b.left, b.top, b.right, b.bottom);
    };
    std::vector<DamageRect> sorted = places, expected = c.places;
    std::sort(sorted.begin(), sorted.end(), order);
    std::sort(expected.begin(), expected.end(), order);
    EXPECT_EQ(sorted, expected);
    if (groups == 0) continue;
    EXPECT_EQ(ends[groups - 1], places.size());
    // Each split paid for its present.
    std::int64_t sent = 0;
    std::size_t begin = 0;
    for (std::size_t g = 0; g < groups; ++g) {
      ASSERT_LT(begin, ends[g]);
      sent += Area(Bounds(std::span<const DamageRect>(places).subspan(begin, ends[g] - begin)));
      begin = ends[g];
    }
    if (groups > 1) {
      EXPECT_LT(sent + std::int64_t(groups - 1) * kPresentCost, Area(Bounds(places)));
    }
  }
}

}  // namespace
}  // namespace zorvik::panel
