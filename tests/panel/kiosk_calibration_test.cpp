// The kiosk calibration: its targets, the misclick rule's promises on distorted screens, the run
// (refusal mark, timeout, Esc, exit codes) and the values it stores and restores.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "common/memory_settings_store.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "panel/kiosk_calibration.h"

namespace zorvik::testing {
namespace {

using namespace panel;
using KioskRun = KioskCalibrationRun;

// A 1024 x 768 screen of 15 inches (0.3 mm per pixel) and one of 24 inches at 1920 x 1080.
const KioskScreen kSmall{1024, 768, ScaleFor(1024, 768, 307.2, 230.4)};
const KioskScreen kLarge{1920, 1080, ScaleFor(1920, 1080, 531.4, 298.9)};
const KioskScreen kUnknown{1024, 768, ScaleFor(1024, 768, 0, 0)};

// A misaligned screen: a finger at target t is reported at centre + L·(t − centre) + offset.
struct Distortion {
  double offset_x_mm, offset_y_mm, scale_x, scale_y, shear_x, shear_y;
};

ClientPoint Reported(const KioskScreen& s, const Distortion& d, ClientPoint t, double nx = 0,
                     double ny = 0) {
  const double cx = s.width / 2.0, cy = s.height / 2.0;
  const double u = t.x - cx, v = t.y - cy;
  const double x = cx + d.scale_x * u + d.shear_x * v + d.offset_x_mm / s.scale.x + nx;
  const double y = cy + d.shear_y * u + d.scale_y * v + d.offset_y_mm / s.scale.y + ny;
  return {static_cast<std::int32_t>(std::lround(x)), static_cast<std::int32_t>(std::lround(y))};
}

const Distortion kDistortions[] = {
    {0, 0, 1, 1, 0, 0},
    {30, 0, 1, 1, 0, 0},
    {-21, 21, 1, 1, 0, 0},
    {30, -30, 1.1, 0.9, 0, 0},
    {-30, 30, 0.9, 1.1, 0.1, 0},
    {21, 21, 1.1, 1.1, 0.1, 0.1},
    {-21, -21, 0.9, 0.9, -0.1, 0.1},
    {0, 30, 1.1, 0.9, -0.1, -0.1},
};

TEST(KioskTargets, ThreeFiveAndNinePointsAndTheCheck) {
  EXPECT_EQ(KioskTargets(3, 1024, 768),
            (std::vector<ClientPoint>{{101, 75}, {921, 75}, {101, 691}}));
  EXPECT_EQ(KioskTargets(5, 1024, 768),
            (std::vector<ClientPoint>{{102, 76}, {512, 384}, {922, 76}, {922, 692}, {102, 692}}));
  const auto nine = KioskTargets(9, 1000, 800);
  ASSERT_EQ(nine.size(), 9u);
  for (const std::int32_t x : {100, 500, 900}) {
    for (const std::int32_t y : {80, 400, 720}) {
      EXPECT_EQ(std::count(nine.begin(), nine.end(), ClientPoint{x, y}), 1) << x << "," << y;
    }
  }
  EXPECT_TRUE(KioskTargets(4, 1024, 768).empty());
  EXPECT_EQ(CheckTarget(1024, 768), (ClientPoint{716, 576}));
}

// Runs a whole calibration of consistent touches with noise; every touch must be accepted.
TEST(MisclickRule, ConsistentTouchesOnDistortedScreensAreNeverRefused) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> noise(-1.5, 1.5);
  for (const KioskScreen& screen : {kSmall, kLarge, kUnknown}) {
    for (const int points : {3, 5, 9}) {
      for (const Distortion& d : kDistortions) {
        KioskRun run({points, 30000, 2.0}, screen, 0);
        std::int64_t now = 0;
        while (run.state() == KioskRun::State::kAwaitingTouch) {
          run.Touch(Reported(screen, d, run.current_target(), noise(random), noise(random)), 1,
                    now += 700);
          ASSERT_EQ(run.last_verdict(), Verdict::kAccepted)
              << points << " points, target " << run.current() << ", screen " << screen.width;
        }
        ASSERT_TRUE(run.result());
        EXPECT_FALSE(run.result()->degenerate);
        EXPECT_LT(run.result()->check.mm, 2.0);
        run.Tick(now + KioskRun::kResultMs);
        EXPECT_EQ(run.exit_code(), KioskExit::kCalibrated);
      }
    }
  }
}

// A touch 40 mm from where the others predict it, in eight directions, at every target from
// the fourth on (before that one or two points leave scale and shear open; see the rule).
TEST(MisclickRule, ATouchFortyMillimetresOffThePredictionIsRefused) {
  for (const KioskScreen& screen : {kSmall, kLarge, kUnknown}) {
    for (const Distortion& d : kDistortions) {
      for (int direction = 0; direction < 8; ++direction) {
        const double angle = direction * std::acos(-1.0) / 4;
        const double dx = 40 * std::cos(angle) / screen.scale.x;
        const double dy = 40 * std::sin(angle) / screen.scale.y;
        const auto targets = KioskTargets(9, screen.width, screen.height);
        std::vector<ClientPoint> touches;
        for (std::size_t k = 0; k < targets.size(); ++k) {
          if (k >= 3) {
            const Verdict v = JudgeTouch(screen, std::span(targets).first(k), touches, targets[k],
                                         {Reported(screen, d, targets[k], dx, dy), 1, 1000});
            EXPECT_EQ(v, Verdict::kOffPrediction) << "target " << k;
          }
          touches.push_back(Reported(screen, d, targets[k]));
        }
      }
    }
  }
}

TEST(MisclickRule, TwoFingersTooSoonAndTheFarHalfOfTheFirstTarget) {
  const ClientPoint first{102, 76};
  struct Case {
    ClientPoint at;
    int contacts;
    std::optional<std::int64_t> gap;
    Verdict verdict;
  };
  const Case cases[] = {
      {{110, 80}, 1, std::nullopt, Verdict::kAccepted},
      {{110, 80}, 2, std::nullopt, Verdict::kTwoFingers},
      {{110, 80}, 1, 199, Verdict::kTooSoon},
      {{110, 80}, 1, 200, Verdict::kAccepted},
      {{500, 370}, 1, std::nullopt, Verdict::kAccepted},  // short of the middle
      {{520, 390}, 1, std::nullopt, Verdict::kFarHalf},   // past it, nearer the mirror
      {{1000, 50}, 1, std::nullopt, Verdict::kFarHalf},
      {{900, 600}, 1, std::nullopt, Verdict::kFarHalf},
      {{40, 700}, 1, std::nullopt, Verdict::kAccepted},   // the bottom left is nearer the target
      {{300, 300}, 1, std::nullopt, Verdict::kAccepted},  // 60 mm off, yet the near half
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JudgeTouch(kSmall, {}, {}, first, {c.at, c.contacts, c.gap}), c.verdict)
        << c.at.x << "," << c.at.y;
  }
  // What the point section says: blob counts while touching, one finger otherwise.
  EXPECT_EQ(ContactsInPointFrame({kTouchDown, 2, 1}), 2);
  EXPECT_EQ(ContactsInPointFrame({kTouchMove, 1, 3}), 3);
  EXPECT_EQ(ContactsInPointFrame({kTouchMove, 1, 1}), 1);
  EXPECT_EQ(ContactsInPointFrame({0, 2, 2}), 1);  // lifted: what is left there is old
  // Two fingers and haste are refused at a later target as well.
  const std::vector<ClientPoint> done{{102, 76}};
  EXPECT_EQ(JudgeTouch(kSmall, done, done, {512, 384}, {{512, 384}, 2, 5000}),
            Verdict::kTwoFingers);
  EXPECT_EQ(JudgeTouch(kSmall, done, done, {512, 384}, {{512, 384}, 1, 150}), Verdict::kTooSoon);
}

TEST(KioskCalibrationRun, ARefusedTouchShowsTheMarkForASecondAndOnlyThatTargetIsRedone) {
  KioskRun run({5, 30000, 2.0}, kSmall, 0);
  run.Touch({102, 76}, 1, 1000);
  run.Touch({512, 384}, 1, 2000);
  ASSERT_EQ(run.current(), 2u);
  run.Touch({922 - 200, 76 + 150}, 1, 3000);  // 75 mm off
  EXPECT_EQ(run.state(), KioskRun::State::kRefused);
  EXPECT_EQ(run.last_verdict(), Verdict::kOffPrediction);
  run.Touch({922, 76}, 1, 3500);  // while the mark shows: not judged, not recorded
  EXPECT_EQ(run.current(), 2u);
  run.Tick(3999);
  EXPECT_EQ(run.state(), KioskRun::State::kRefused);
  run.Tick(4000);
  EXPECT_EQ(run.state(), KioskRun::State::kAwaitingTouch);
  run.Touch({922, 76}, 1, 4500);
  EXPECT_EQ(run.current(), 3u);
  EXPECT_EQ(run.touches(), (std::vector<ClientPoint>{{102, 76}, {512, 384}, {922, 76}}));
}

TEST(KioskCalibrationRun, TimeoutEscAndTheExitCodes) {
  {  // no touch for the timeout: cancelled
    KioskRun run({5, 30000, 2.0}, kSmall, 0);
    run.Touch({102, 76}, 1, 10000);
    run.Tick(39999);
    EXPECT_EQ(run.state(), KioskRun::State::kAwaitingTouch);  // the touch restarted the wait
    run.Tick(40000);
    EXPECT_EQ(run.state(), KioskRun::State::kEnded);
    EXPECT_EQ(run.exit_code(), KioskExit::kCancelled);
  }
  {  // timeout 0: none
    KioskRun run({5, 0, 2.0}, kSmall, 0);
    run.Tick(3600 * 1000);
    EXPECT_EQ(run.state(), KioskRun::State::kAwaitingTouch);
  }
  {  // Esc while targets wait
    KioskRun run({3, 30000, 2.0}, kSmall, 0);
    run.Touch({101, 75}, 1, 500);
    run.Cancel(900);
    EXPECT_EQ(run.exit_code(), KioskExit::kCancelled);
    EXPECT_FALSE(run.result());
  }
  {  // a check 5 mm off fails with 2 mm allowed; Esc on the result screen keeps the code
    KioskRun run({5, 30000, 2.0}, kSmall, 0);
    std::int64_t now = 0;
    for (const ClientPoint t : run.targets())
      run.Touch(t, 1, now += 500);
    ASSERT_TRUE(run.checking());
    run.Touch({716 + 10, 576 + 12}, 1, now += 500);  // 15.6 px = 4.7 mm
    ASSERT_EQ(run.state(), KioskRun::State::kShowingResult);
    EXPECT_NEAR(run.result()->check.mm, 4.69, 0.01);
    EXPECT_EQ(run.result()->fit.px, 0);
    run.Cancel(now + 100);
    EXPECT_EQ(run.state(), KioskRun::State::kEnded);
    EXPECT_EQ(run.exit_code(), KioskExit::kCheckFailed);
  }
  {  // a screen so small in millimetres that any touch is near: coincident touches
    const KioskScreen tiny{1024, 768, ScaleFor(1024, 768, 10, 7.5)};
    KioskRun run({3, 30000, 2.0}, tiny, 0);
    for (int k = 0; k < 3; ++k)
      run.Touch({101, 75}, 1, 1000 * (k + 1));
    EXPECT_EQ(run.state(), KioskRun::State::kShowingResult);
    EXPECT_TRUE(run.result()->degenerate);
    run.Tick(3000 + KioskRun::kResultMs);
    EXPECT_EQ(run.exit_code(), KioskExit::kDegenerate);
  }
}

std::string GeneralText(SettingsStore& store, const char* format, int monitor = 1) {
  const ScopedKey general =
      OpenKey(store, store.LocalMachine(), schema::kGeneralKey, key_rights::kQueryValue);
  const auto text = general ? ReadText(store, general.get(), schema::NumberedName(format, monitor))
                            : std::nullopt;
  return text ? std::string(text->view()) : "(absent)";
}

TEST(KioskValues, StoredBesideTheMatrixAndRestoredWhenARunFails) {
  MemorySettingsStore store;
  KioskResult result;
  result.matrix = {2, 0, 3, 0, 2, -4, 2};
  result.fit = {0.4, 0.123};
  result.check = {1.7, 0.5126};
  ASSERT_TRUE(WriteKioskCalibration(store, 1, result, {2026, 12, 8, 21, 40, 5, 900}));
  EXPECT_EQ(GeneralText(store, kMonCheckErrorUmFormat), "513");
  EXPECT_EQ(GeneralText(store, kMonFitErrorUmFormat), "123");
  EXPECT_EQ(GeneralText(store, kMonCalibratedAtFormat), "2026-12-08T21:40:05Z");
  EXPECT_EQ(GeneralText(store, schema::kMonFnFormat), "-4");

  // A later run saves what is in force, writes the identity, and on failure puts it back.
  const SavedMonitorValues saved = SaveMonitorValues(store, 1);
  ASSERT_TRUE(WriteIdentity(store, 1));
  EXPECT_EQ(GeneralText(store, schema::kMonDividerFormat), "1");
  ASSERT_TRUE(RestoreMonitorValues(store, saved));
  EXPECT_EQ(GeneralText(store, schema::kMonDividerFormat), "2");
  EXPECT_EQ(GeneralText(store, schema::kMonCnFormat), "3");
  EXPECT_EQ(GeneralText(store, kMonCheckErrorUmFormat), "513");
}

// A failed run on a monitor that was never calibrated leaves no value behind.
TEST(KioskValues, AFailedRunOnAnUncalibratedMonitorLeavesNothing) {
  MemorySettingsStore store;
  const SavedMonitorValues saved = SaveMonitorValues(store, 0);
  ASSERT_TRUE(WriteIdentity(store, 0));
  ASSERT_TRUE(RestoreMonitorValues(store, saved));
  for (const char* format :
       {schema::kMonAnFormat, schema::kMonDividerFormat, schema::kMonXFormat}) {
    EXPECT_EQ(GeneralText(store, format, 0), "(absent)") << format;
  }
}

}  // namespace
}  // namespace zorvik::testing

namespace zorvik::testing {
namespace {

TEST(KioskArguments, OptionsAndTheirLimits) {
  using panel::ParseKioskArguments;
  const auto all = ParseKioskArguments("/CALIBRATE /monitor 1 /points 9 /timeout 0 /max-error 1.5");
  ASSERT_TRUE(all);
  EXPECT_EQ(all->monitor, 1);
  EXPECT_EQ(all->options.points, 9);
  EXPECT_EQ(all->options.timeout_ms, 0);
  EXPECT_DOUBLE_EQ(all->options.max_error_mm, 1.5);
  const auto defaults = ParseKioskArguments("/calibrate");
  ASSERT_TRUE(defaults);
  EXPECT_FALSE(defaults->monitor);
  EXPECT_EQ(defaults->options.points, 5);
  EXPECT_EQ(defaults->options.timeout_ms, 30000);
  EXPECT_DOUBLE_EQ(defaults->options.max_error_mm, 2.0);
  for (const char* bad :
       {"", "/calibrat", "/calibrate /points 4", "/calibrate /points", "/calibrate /timeout -1",
        "/calibrate /monitor 1.5", "/calibrate /max-error 2mm", "/calibrate /monitor 100",
        "/calibrate /speed 3", "/calibrate /max-error .", "/calibrate /max-error 1.2.3",
        "/calibrate /timeout 99999999999999999999"}) {
    EXPECT_FALSE(ParseKioskArguments(bad)) << bad;
  }
  EXPECT_FALSE(panel::IsKioskCommandLine(""));
  EXPECT_TRUE(panel::IsKioskCommandLine("  /Calibrate /points 3"));
}

}  // namespace
}  // namespace zorvik::testing
