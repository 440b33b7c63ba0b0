// The Option/Tools page's decisions: what a correction press reads, writes and shows, its limits,
// the active monitor, the order of writes, signals and pauses (also of "Auto calibration "), what
// a press does without write access, the repeat buttons, the dialog's three openings and where
// Clicktog is started from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "panel/region_control_model.h"
#include "tests/common/recording_store.h"
#include "tests/common/settings_seed.h"
#include "tests/common/store_under_test.h"
#include "tests/panel/no_create_store.h"

namespace zorvik::testing {
namespace {

using namespace panel;

// Records signals and pauses, with how many values had been written when each signal came.
class SignalLog final : public CorrectionSignals {
 public:
  explicit SignalLog(const RecordingStore* store = nullptr) : store_(store) {}
  std::vector<std::string> calls;
  std::vector<std::size_t> written_at_signal;

  void SetupChanged() override {
    calls.emplace_back("signal");
    if (store_ != nullptr) written_at_signal.push_back(store_->written.size());
  }
  void Pause(int milliseconds) override {
    calls.push_back("pause " + std::to_string(milliseconds));
  }

 private:
  const RecordingStore* store_;
};

class RegionControlModelTest : public StoreTest {
 protected:
  SettingsSeed seed{store()};
  SignalLog signals;

  // The text stored as a General value, or "<none>" when it is missing or not text.
  std::string General(const std::string& name) {
    const ScopedKey key = OpenKey(store(), hklm(), schema::kGeneralKey, key_rights::kRead);
    const auto text = key ? ReadText(store(), key.get(), name) : std::nullopt;
    return text ? std::string(text->view()) : "<none>";
  }
  CorrectionPair Press(CorrectionStep step, int times = 1) {
    std::optional<StepOutcome> outcome;
    for (int i = 0; i < times; ++i)
      outcome = RunCorrectionStep(store(), signals, step);
    EXPECT_TRUE(outcome);
    return outcome ? outcome->shown : CorrectionPair{};
  }
};

TEST_F(RegionControlModelTest, EmptyRegistryShowsDefaultsAndFirstRightStoresOneAndZero) {
  EXPECT_EQ(ReadCorrectionPair(store(), CorrectionPairKind::kOffset, 0), (CorrectionPair{0, 0}));
  EXPECT_EQ(ReadCorrectionPair(store(), CorrectionPairKind::kZoom, 0),
            (CorrectionPair{10000, 10000}));
  EXPECT_EQ(PercentText(0), "0.000000");
  EXPECT_EQ(PercentText(10000), "100.000000");

  RecordingStore recording(store());
  SignalLog log(&recording);
  const auto outcome = RunCorrectionStep(recording, log, CorrectionStep::kRight);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->kind, CorrectionPairKind::kOffset);
  EXPECT_EQ(outcome->shown, (CorrectionPair{1, 0}));
  EXPECT_EQ(PercentText(outcome->shown.x), "0.010000");
  EXPECT_EQ(General("MON00X"), "1");
  EXPECT_EQ(General("MON00Y"), "0");
  // The lookup made ActiveMonitor; both values are written (the writer writes again as it
  // closes) before both services are told once, then the pause.
  const ScopedKey maps = OpenKey(store(), hklm(), schema::kMonitorMapsKey, key_rights::kRead);
  ASSERT_TRUE(maps);
  EXPECT_EQ(ReadDword(store(), maps.get(), "ActiveMonitor"), 0u);
  EXPECT_EQ(recording.written,
            (std::vector<std::string>{"ActiveMonitor", "MON00X", "MON00Y", "MON00X", "MON00Y"}));
  EXPECT_EQ(log.calls, (std::vector<std::string>{"signal", "pause 10"}));
  EXPECT_EQ(log.written_at_signal, (std::vector<std::size_t>{5}));
}

TEST_F(RegionControlModelTest, OffsetsHaveNoLimitButDoNotWrapAndResetReturnsToZero) {
  EXPECT_EQ(Press(CorrectionStep::kLeft, 5), (CorrectionPair{-5, 0}));
  EXPECT_EQ(PercentText(-5), "-0.050000");
  EXPECT_EQ(General("MON00X"), "-5");
  EXPECT_EQ(Press(CorrectionStep::kUp, 2), (CorrectionPair{-5, -2}));
  EXPECT_EQ(Press(CorrectionStep::kDown), (CorrectionPair{-5, -1}));
  EXPECT_EQ(Press(CorrectionStep::kOffsetReset), (CorrectionPair{0, 0}));
  EXPECT_EQ(General("MON00Y"), "0");
  // A value at a 32-bit limit stays there instead of turning into the other extreme.
  seed.Text("General", "MON00X", "2147483647");
  seed.Text("General", "MON00Y", "-2147483648");
  EXPECT_EQ(Press(CorrectionStep::kRight), (CorrectionPair{2147483647, -2147483647 - 1}));
  EXPECT_EQ(Press(CorrectionStep::kUp), (CorrectionPair{2147483647, -2147483647 - 1}));
  EXPECT_EQ(PercentText(2147483647), "21474836.470000");
  EXPECT_EQ(signals.calls.size(), 2u * 11u);  // every one of the 11 presses told the services
}

TEST_F(RegionControlModelTest, ZoomsStopAtZeroAndResetReturnsToFullZoom) {
  CorrectionPair pair{10000, 10000};
  for (int i = 0; i < 10001; ++i)
    pair = ApplyStep(CorrectionStep::kXZoomMinus, pair);
  EXPECT_EQ(pair, (CorrectionPair{0, 10000}));

  seed.Text("General", "MON00XZOOMA", "2");
  EXPECT_EQ(Press(CorrectionStep::kXZoomMinus, 3), (CorrectionPair{0, 10000}));
  EXPECT_EQ(General("MON00XZOOMA"), "0");
  EXPECT_EQ(Press(CorrectionStep::kYZoomPlus), (CorrectionPair{0, 10001}));
  EXPECT_EQ(Press(CorrectionStep::kXZoomPlus), (CorrectionPair{1, 10001}));
  EXPECT_EQ(Press(CorrectionStep::kZoomReset), (CorrectionPair{10000, 10000}));
  EXPECT_EQ(General("MON00YZOOMA"), "10000");
  // A negative zoom stored by hand is not written back below 0 by a press of the other zoom.
  seed.Text("General", "MON00YZOOMA", "-7");
  EXPECT_EQ(Press(CorrectionStep::kXZoomPlus), (CorrectionPair{10001, 0}));
  EXPECT_EQ(General("MON00YZOOMA"), "0");
}

TEST_F(RegionControlModelTest, StoredTextsCountByTheAtoiRuleAndUnreadableOnesAsDefaults) {
  seed.Text("General", "MON00X", "12abc");
  seed.Text("General", "MON00Y", "  -3");
  seed.Text("General", "MON00XZOOMA", "");
  seed.Dword("General", "MON00YZOOMA", 5);  // not text
  EXPECT_EQ(ReadCorrectionPair(store(), CorrectionPairKind::kOffset, 0), (CorrectionPair{12, -3}));
  EXPECT_EQ(ReadCorrectionPair(store(), CorrectionPairKind::kZoom, 0),
            (CorrectionPair{10000, 10000}));
  EXPECT_EQ(Press(CorrectionStep::kYZoomMinus), (CorrectionPair{10000, 9999}));
  EXPECT_EQ(General("MON00YZOOMA"), "9999");  // now text
}

TEST_F(RegionControlModelTest, EveryButtonUsesTheActiveMonitor) {
  seed.Dword("MonitorMaps", "ActiveMonitor", 2);
  seed.Text("General", "MON02X", "7");
  seed.Text("General", "MON02YZOOMA", "500");
  seed.Text("General", "MON00X", "100");
  EXPECT_EQ(ActiveMonitorIndex(store()), 2);
  EXPECT_EQ(ReadCorrectionPair(store(), CorrectionPairKind::kOffset, 2), (CorrectionPair{7, 0}));
  EXPECT_EQ(Press(CorrectionStep::kRight), (CorrectionPair{8, 0}));
  EXPECT_EQ(Press(CorrectionStep::kYZoomPlus), (CorrectionPair{10000, 501}));
  EXPECT_EQ(General("MON02X"), "8");
  EXPECT_EQ(General("MON02XZOOMA"), "10000");
  EXPECT_EQ(General("MON00X"), "100");
  EXPECT_EQ(General("MON00XZOOMA"), "<none>");
  // A negative answer is monitor 00.
  seed.Dword("MonitorMaps", "ActiveMonitor", static_cast<std::uint32_t>(-3));
  EXPECT_EQ(Press(CorrectionStep::kLeft), (CorrectionPair{99, 0}));
  EXPECT_EQ(General("MON00X"), "99");
}

TEST_F(RegionControlModelTest, AutoCalibrationResetsTheActiveMonitorInThreeSignalledRounds) {
  seed.Dword("MonitorMaps", "ActiveMonitor", 1);
  for (const char* name : {"MON01X", "MON01Y", "MON01XZOOMA", "MON01YZOOMA", "MON01An", "MON01Bn",
                           "MON01Cn", "MON01Dn", "MON01En", "MON01Fn", "MON01Divider", "MON00X"}) {
    seed.Text("General", name, "42");
  }
  RecordingStore recording(store());
  SignalLog log(&recording);
  const AutoCalibrationOutcome outcome = RunAutoCalibration(recording, log);
  EXPECT_EQ(outcome.offsets, (CorrectionPair{0, 0}));
  EXPECT_EQ(outcome.zooms, (CorrectionPair{10000, 10000}));
  EXPECT_TRUE(outcome.identity_written);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"signal", "pause 10", "signal", "pause 10",
                                                 "pause 10", "signal", "pause 10"}));
  // Each round is told only after its values, written twice by the writer, are all in place.
  EXPECT_EQ(log.written_at_signal, (std::vector<std::size_t>{4, 8, 22}));
  const std::vector<std::string> identity{"MON01An", "MON01Bn", "MON01Cn", "MON01Divider",
                                          "MON01Dn", "MON01En", "MON01Fn"};
  EXPECT_EQ(std::vector<std::string>(recording.written.begin() + 8, recording.written.begin() + 15),
            identity);
  const std::vector<std::pair<const char*, const char*>> expected{
      {"MON01X", "0"},  {"MON01Y", "0"},  {"MON01XZOOMA", "10000"}, {"MON01YZOOMA", "10000"},
      {"MON01An", "1"}, {"MON01Bn", "0"}, {"MON01Cn", "0"},         {"MON01Dn", "0"},
      {"MON01En", "1"}, {"MON01Fn", "0"}, {"MON01Divider", "1"},    {"MON00X", "42"}};
  for (const auto& [name, text] : expected)
    EXPECT_EQ(General(name), text) << name;
}

// An offset or zoom changed after a kiosk calibration leaves its errors describing another mapping.
TEST_F(RegionControlModelTest, APressForgetsTheKioskAccuracyOfTheActiveMonitor) {
  for (const char* name : {"MON00CheckErrorUm", "MON00FitErrorUm", "MON00CalibratedAt"})
    seed.Text("General", name, "513");
  Press(CorrectionStep::kUp);
  for (const char* name : {"MON00CheckErrorUm", "MON00FitErrorUm", "MON00CalibratedAt"})
    EXPECT_EQ(General(name), "<none>") << name;
}

TEST_F(RegionControlModelTest, WithoutWriteAccessNothingIsWrittenAndTheServicesAreNotTold) {
  NoCreateStore refusing(store());
  EXPECT_FALSE(RunCorrectionStep(refusing, signals, CorrectionStep::kRight));
  const AutoCalibrationOutcome outcome = RunAutoCalibration(refusing, signals);
  EXPECT_FALSE(outcome.offsets);
  EXPECT_FALSE(outcome.zooms);
  EXPECT_FALSE(outcome.identity_written);
  EXPECT_TRUE(signals.calls.empty());
  EXPECT_FALSE(OpenKey(store(), hklm(), schema::kRootKey, key_rights::kRead));
}

TEST_F(RegionControlModelTest, ClicktogStartsFromTargetDirOnlyWhenThereIsOne) {
  EXPECT_FALSE(ClicktogPath(store()));  // no Program key
  seed.Key("Program");
  EXPECT_FALSE(ClicktogPath(store()));  // no TargetDir
  seed.Dword("Program", "TargetDir", 1);
  EXPECT_FALSE(ClicktogPath(store()));  // not text
  seed.Text("Program", "TargetDir", "");
  EXPECT_FALSE(ClicktogPath(store()));  // empty: not "\Clicktog.exe" at the drive's root
  seed.Text("Program", "TargetDir", "C:\\Program Files\\Zorvik Touch");
  const auto path = ClicktogPath(store());
  ASSERT_TRUE(path);
  EXPECT_EQ(*path, "C:\\Program Files\\Zorvik Touch\\Clicktog.exe");
  EXPECT_EQ(ClicktogCommandLine(*path), "\"C:\\Program Files\\Zorvik Touch\\Clicktog.exe\"");
}

using Event = RepeatButton::Event;
using Action = RepeatButton::Action;

TEST(RepeatButtonTest, QuickClickIsOneStepAndHoldingRepeatsOnlyWhilePushed) {
  RepeatButton quick;
  EXPECT_EQ(quick.Handle(Event::kButtonDown), (Action{200, false, false, false}));
  EXPECT_EQ(quick.Handle(Event::kButtonUp), (Action{0, true, true, true}));
  EXPECT_EQ(quick.state(), RepeatButton::State::kIdle);

  RepeatButton held;
  held.Handle(Event::kButtonDown);
  int steps = 0;
  for (bool pushed : {true, true, true, false, false, true, true}) {
    const Action action = held.Handle(Event::kTimer, pushed);
    EXPECT_EQ(action.start_timer_ms, pushed ? 20u : 0u);
    EXPECT_FALSE(action.stop_timer);
    steps += action.step;
  }
  EXPECT_EQ(steps, 5);
  EXPECT_EQ(held.repeat_count(), 5);
  EXPECT_TRUE(held.Handle(Event::kButtonUp).step);  // one more, off the button or not
  // A second hold starts counting afresh.
  held.Handle(Event::kButtonDown);
  EXPECT_EQ(held.repeat_count(), 0);
}

TEST(RepeatButtonTest, LostCaptureEndsTheHoldWithoutAStepAndStrayEventsDoNothing) {
  RepeatButton button;
  EXPECT_EQ(button.Handle(Event::kButtonUp), Action{});  // press began elsewhere
  EXPECT_EQ(button.Handle(Event::kTimer, true), Action{});
  button.Handle(Event::kButtonDown);
  button.Handle(Event::kTimer, true);
  EXPECT_EQ(button.Handle(Event::kCaptureLost), (Action{0, true, false, false}));
  EXPECT_EQ(button.Handle(Event::kTimer, true), Action{});
  EXPECT_EQ(button.Handle(Event::kButtonUp), Action{});
}

TEST(TouchScreenOpeningTest, EachToolButtonOpensItsModeWithItsEventsAndFollowUp) {
  const auto calibration = TouchScreenOpeningFor(IDC_CALIBRATION, false);
  ASSERT_TRUE(calibration);
  EXPECT_EQ((std::vector<int>{calibration->screen_mode, calibration->multi_point}),
            (std::vector<int>{0, 0}));
  EXPECT_TRUE(calibration->setup_events && calibration->signal_after);
  EXPECT_FALSE(calibration->repaint_after);
  // "Single-point" checked: touches come as mouse messages; otherwise from the touch data.
  EXPECT_EQ(TouchScreenOpeningFor(IDC_TOUCH_TEST, true)->multi_point, 0);
  const auto test = TouchScreenOpeningFor(IDC_TOUCH_TEST, false);
  EXPECT_EQ((std::vector<int>{test->screen_mode, test->multi_point}), (std::vector<int>{1, 1}));
  EXPECT_TRUE(test->setup_events && test->repaint_after);
  EXPECT_FALSE(test->signal_after);
  const auto view = TouchScreenOpeningFor(IDC_MULTITOUCH_VIEW, true);
  EXPECT_EQ((std::vector<int>{view->screen_mode, view->multi_point}), (std::vector<int>{2, 1}));
  EXPECT_FALSE(view->setup_events || view->signal_after || view->repaint_after);
  EXPECT_FALSE(TouchScreenOpeningFor(IDC_RIGHT_CLICK_TOOL, true));
}

}  // namespace
}  // namespace zorvik::testing
