// The views' frame pacing (at most one drawing per refresh, always the newest frame, never one
// more than a refresh late) and their damage list (what the next frame restores and copies).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "panel/view_damage.h"
#include "panel/view_frame_pacer.h"

namespace zorvik::panel {
namespace {

using Event = ViewFramePacer::Event;
using Action = ViewFramePacer::Action;

// Publishes frames at `rate_hz` for `seconds` with the waits the pacer asks for: the times (us)
// at which frames were drawn, and the largest time a published frame waited to be drawn.
struct Played {
  std::vector<std::int64_t> drawn;
  std::int64_t worst_wait_us = 0;
};
Played Play(ViewFramePacer& pacer, std::int64_t rate_hz, std::int64_t frames) {
  Played played;
  const std::int64_t step = 1'000'000 / rate_hz;
  std::int64_t oldest_undrawn = -1;
  auto note = [&](Action action, std::int64_t now) {
    if (action != Action::kDraw) return;
    played.drawn.push_back(now);
    if (oldest_undrawn >= 0)
      played.worst_wait_us = std::max(played.worst_wait_us, now - oldest_undrawn);
    oldest_undrawn = -1;
  };
  std::int64_t now = 0;
  // A frame published while the thread did not wait for frames leaves the event set, so the
  // next wait for frames ends at once.
  bool signalled = false;
  for (std::int64_t k = 0; k < frames; ++k) {
    const std::int64_t publish = k * step;
    // The thread waits until the frame comes or the held one is due.
    const std::uint32_t wait = pacer.WaitMs(now);
    if (wait != ViewFramePacer::kForever && now + std::int64_t{wait} * 1000 < publish) {
      now += std::int64_t{wait} * 1000;
      note(pacer.Handle(Event::kWaitTimedOut, now), now);
      if (signalled && pacer.WaitsForFrames()) {
        signalled = false;
        note(pacer.Handle(Event::kFramePublished, now), now);
      }
    }
    now = publish;
    if (oldest_undrawn < 0) oldest_undrawn = now;
    if (pacer.WaitsForFrames()) {
      note(pacer.Handle(Event::kFramePublished, now), now);
    } else {
      signalled = true;
    }
  }
  // The last frame is drawn when its wait ends.
  const std::uint32_t wait = pacer.WaitMs(now);
  if (wait != ViewFramePacer::kForever) {
    now += std::int64_t{wait} * 1000;
    note(pacer.Handle(Event::kWaitTimedOut, now), now);
  }
  return played;
}

TEST(ViewFramePacing, AtTheControllersRateFramesAreDrawnOncePerRefreshAndNeverLate) {
  struct Case {
    std::int64_t rate_hz;
    std::uint32_t refresh_hz;
    std::size_t drawn;  // of one second's frames
  };
  for (const Case c :
       {Case{200, 60, 60}, Case{200, 144, 144}, Case{30, 60, 30}, Case{200, 0, 60}}) {
    ViewFramePacer pacer(c.refresh_hz);
    const Played played = Play(pacer, c.rate_hz, c.rate_hz);
    SCOPED_TRACE(c.refresh_hz);
    EXPECT_EQ(played.drawn.size(), c.drawn);
    for (std::size_t k = 1; k < played.drawn.size(); ++k)
      EXPECT_GE(played.drawn[k] - played.drawn[k - 1], pacer.period_us());
    // A frame waits at most one refresh (a millisecond more for the wait's rounding up).
    EXPECT_LE(played.worst_wait_us, pacer.period_us() + 1000);
    EXPECT_EQ(pacer.state(), ViewFramePacer::State::kIdle);  // the last frame was drawn
  }
}

TEST(ViewFramePacing, AFrameWithinARefreshIsHeldAndReplacedThenDrawnWhenDue) {
  ViewFramePacer pacer(50);  // 20 ms
  EXPECT_EQ(pacer.Handle(Event::kFramePublished, 1'000'000), Action::kDraw);
  EXPECT_EQ(pacer.WaitMs(1'000'000), ViewFramePacer::kForever);
  EXPECT_EQ(pacer.Handle(Event::kFramePublished, 1'004'000), Action::kNothing);
  EXPECT_EQ(pacer.WaitMs(1'004'000), 16u);
  EXPECT_EQ(pacer.Handle(Event::kFramePublished, 1'010'500), Action::kNothing);  // replaces it
  EXPECT_EQ(pacer.WaitMs(1'010'500), 10u);  // rounded up: never woken early
  EXPECT_EQ(pacer.Handle(Event::kWaitTimedOut, 1'019'999), Action::kNothing);
  EXPECT_EQ(pacer.Handle(Event::kWaitTimedOut, 1'020'000), Action::kDraw);
  // Nothing held: a time-out draws nothing, and a frame after a quiet spell is drawn at once.
  EXPECT_EQ(pacer.Handle(Event::kWaitTimedOut, 1'050'000), Action::kNothing);
  EXPECT_EQ(pacer.Handle(Event::kFramePublished, 1'060'000), Action::kDraw);
}

TEST(ViewDamage, RectanglesAreClippedAndThoseThatTouchMerge) {
  DamageList list;
  list.Reset(100, 50);
  list.Add({-5, -5, 10, 10});   // clipped
  list.Add({10, 0, 20, 5});     // shares an edge: merged
  list.Add({200, 0, 300, 10});  // off the view
  list.Add({50, 40, 60, 45});
  list.Add({5, 20, 5, 30});  // empty
  EXPECT_EQ(std::vector<DamageRect>(list.rects().begin(), list.rects().end()),
            (std::vector<DamageRect>{{0, 0, 20, 10}, {50, 40, 60, 45}}));
  // A rectangle reaching both merges all three, whatever the order they were listed in.
  list.Add({15, 8, 55, 42});
  EXPECT_EQ(std::vector<DamageRect>(list.rects().begin(), list.rects().end()),
            (std::vector<DamageRect>{{0, 0, 60, 45}}));
}

TEST(ViewDamage, OnAFullListAPlaceJoinsTheOneItGrowsLeastAndNothingIsLost) {
  DamageList list;
  list.Reset(10000, 100);
  std::vector<DamageRect> added;
  for (int k = 0; k < static_cast<int>(DamageList::kCapacity); ++k)
    added.push_back({k * 100, 0, k * 100 + 5, 5});
  added.push_back({1002, 40, 1007, 45});    // below the eleventh: joins it
  added.push_back({9000, 0, 9005, 5});      // past the last: joins the last
  added.push_back({9000, 50, 10000, 100});  // joins that union
  for (const DamageRect& rect : added)
    list.Add(rect);
  EXPECT_FALSE(list.all());
  const std::vector<DamageRect> listed(list.rects().begin(), list.rects().end());
  EXPECT_EQ(listed.size(), DamageList::kCapacity);
  EXPECT_NE(std::find(listed.begin(), listed.end(), DamageRect{1000, 0, 1007, 45}), listed.end());
  EXPECT_NE(std::find(listed.begin(), listed.end(), DamageRect{6300, 0, 10000, 100}), listed.end());
  for (const DamageRect& rect : added) {
    EXPECT_TRUE(std::any_of(listed.begin(), listed.end(),
                            [&](const DamageRect& r) {
                              return r.left <= rect.left && r.top <= rect.top &&
                                     rect.right <= r.right && rect.bottom <= r.bottom;
                            }))
        << rect.left << "," << rect.top;
  }
  list.AddAll();
  EXPECT_TRUE(list.rects().empty());
  list.Reset(10, 10);
  EXPECT_FALSE(list.all());
}

TEST(ViewDamage, AnEllipsesPlaceHoldsItWhateverOrderItsCornersCome) {
  // Rotation 180 gives the corners right-to-left and bottom-to-top.
  EXPECT_EQ(EllipseDamage({934, 678, 914, 658}, 1), (DamageRect{912, 656, 937, 681}));
  EXPECT_EQ(EllipseDamage({90, 90, 110, 110}, 1), (DamageRect{88, 88, 113, 113}));
  // Hostile sizes cannot overflow.
  EXPECT_EQ(EllipseDamage({INT32_MAX, INT32_MIN, 0, 0}, 1).right, INT32_MAX);
}

TEST(ViewDamage, ACellBlocksPlaceHoldsEveryCellOfItUnderEachRotation) {
  const ViewSize screen{1024, 768};
  const CellGrid grid = CellGridOf(screen, 256, 144);
  const CellRun x{40, 43}, y{100, 102};
  for (const std::int32_t rotation : {0, 90, 180, 270, 360, 45}) {
    const DamageRect block = CellBlockDamage(rotation, x, y, grid, screen, 1);
    for (std::uint32_t i = x.first; i <= x.last; ++i) {
      for (std::uint32_t j = y.first; j <= y.last; ++j) {
        const DamageRect cell = EllipseDamage(CellEllipse(rotation, i, j, grid, screen), 1);
        EXPECT_TRUE(cell.left >= block.left && cell.right <= block.right && cell.top >= block.top &&
                    cell.bottom <= block.bottom)
            << rotation << " " << i << "," << j;
      }
    }
  }
}

TEST(CellRuns, ShadowedCellsGroupIntoRunsAndEveryOtherCellRunsUpToTheLimit) {
  const std::vector<std::uint8_t> levels{0, 51, 100, 50, 0, 90, 0, 0, 60, 70};
  std::array<CellRun, kMaxCellRuns> runs{};
  const std::size_t count = ShadowedRuns(levels, runs);
  EXPECT_EQ(std::vector<CellRun>(runs.begin(), runs.begin() + count),
            (std::vector<CellRun>{{1, 2}, {5, 5}, {8, 9}}));
  // The worst a hostile section can hold: every other cell shadowed.
  std::vector<std::uint8_t> alternate(kMaxCells);
  for (std::size_t i = 0; i < alternate.size(); i += 2)
    alternate[i] = 100;
  EXPECT_EQ(ShadowedRuns(alternate, runs), kMaxCellRuns);
  EXPECT_EQ(runs[kMaxCellRuns - 1], (CellRun{1022, 1022}));
}

}  // namespace
}  // namespace zorvik::panel
