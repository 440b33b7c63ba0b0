// The kiosk calibration (Orbisk /calibrate) without a window: its targets, the misclick rule that
// judges each touch against where the touches so far say it should land, the run as a state
// machine with time passed in, and the per-monitor values it stores and restores.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/service_settings.h"
#include "common/settings_schema.h"
#include "common/settings_store.h"
#include "common/state_transition.h"
#include "common/utc_time.h"
#include "panel/affine_fit.h"
#include "panel/calibration_model.h"
#include "panel/touch_view_model.h"

namespace zorvik::panel {

// The fit targets of a w x h client area, in the order they are shown. 3: the panel's three
// matrix targets. 5: top left, centre, top right, bottom right, bottom left, the corners at 10 %.
// 9: the 3 x 3 grid at 10 %, 50 %, 90 %, starting with the same five. Starting with a corner, the
// centre and the opposite-side corner puts a full affine prediction behind every later target.
// Empty for any other count.
std::vector<ClientPoint> KioskTargets(int points, std::int32_t width, std::int32_t height);
// The check target, not used by the fit: 70 % across, 75 % down.
ClientPoint CheckTarget(std::int32_t width, std::int32_t height);

struct KioskScreen {
  std::int32_t width = 0;
  std::int32_t height = 0;
  MillimetreScale scale;
};

// The misclick rule. A touch is refused when
//  - two or more fingers are down, or it comes sooner than 200 ms after the last touch;
//  - for the first target, which nothing predicts: it lies in the far half of the screen, nearer
//    to the target's mirror image through the centre than to the target;
//  - from the fourth target on (three touches recorded and not degenerate): it lies more than
//    20 mm from where the affine least-squares fit of the touches so far puts the target;
//  - for the second and third target (or when the touches so far are degenerate): it lies more
//    than 20 mm + 20 % of the target's distance to the nearest recorded target from where that
//    target's own offset puts it. 20 % covers a scale and a shear of up to 10 % each, which one or
//    two points cannot yet tell apart from a stray touch.
// The offset of the screen never enters: only the touches' agreement with one another does.
enum class Verdict { kAccepted, kTwoFingers, kTooSoon, kFarHalf, kOffPrediction };
std::string_view ToString(Verdict verdict);

// How many fingers the USB service's point section shows: its larger blob count while a frame
// says touching, else one (a controller that sends single touches publishes no cell frames).
int ContactsInPointFrame(const PointFrame& frame);

inline constexpr double kMisclickMarginMm = 20.0;
inline constexpr double kUnfittedSlack = 0.2;
inline constexpr std::int64_t kMinimumTouchGapMs = 200;

struct TouchFacts {
  ClientPoint at;
  int contacts = 1;
  std::optional<std::int64_t> ms_since_last;  // nothing for the run's first touch
};

Verdict JudgeTouch(const KioskScreen& screen, std::span<const ClientPoint> targets_done,
                   std::span<const ClientPoint> touches_done, ClientPoint target,
                   const TouchFacts& touch);

// Where the touches so far say a touch for `target` should land, and how far from it one may
// land; nothing when no touch is recorded yet.
struct Prediction {
  RealPoint at;
  double allowed_mm = 0;
};
std::optional<Prediction> PredictTouch(const KioskScreen& screen,
                                       std::span<const ClientPoint> targets_done,
                                       std::span<const ClientPoint> touches_done,
                                       ClientPoint target);

// What a finished run found.
struct KioskResult {
  bool degenerate = false;
  CalibrationMatrix matrix;
  ScreenError fit;
  ScreenError check;
  bool passed = false;
};

// Exit codes of Orbisk /calibrate.
enum class KioskExit : int {
  kCalibrated = 0,
  kCancelled = 1,     // Exit, Esc, or no touch within the timeout
  kDegenerate = 2,    // the touches fix no affine map
  kCheckFailed = 3,   // the check error exceeds the limit: nothing stored
  kNotAvailable = 4,  // another instance runs, or the settings cannot be written
};

struct KioskOptions {
  int points = 5;
  std::int64_t timeout_ms = 30000;  // 0: none
  double max_error_mm = 2.0;
};

// Orbisk's command line for the kiosk calibration: "/calibrate" and its options, case-insensitive,
// separated by blanks. Nothing for an unknown option, a missing or malformed number, a point
// count other than 3, 5 or 9, or a negative timeout or limit.
struct KioskArguments {
  std::optional<std::int32_t> monitor;  // nothing: the active monitor
  KioskOptions options;
};
bool IsKioskCommandLine(std::string_view command_line);
std::optional<KioskArguments> ParseKioskArguments(std::string_view command_line);

class KioskCalibrationRun {
 public:
  enum class State {
    kAwaitingTouch,  // a target (fit targets, then the check target) waits for its touch
    kRefused,        // the refusal mark shows for a second; touches are not judged
    kShowingResult,  // the errors show before the window closes
    kEnded,
  };
  enum class Event {
    kAccepted,    // recorded; the next target follows
    kFitted,      // the last fit target recorded and the fit made: the check target follows
    kDegenerate,  // the last fit target recorded, the fit impossible
    kChecked,     // the check target touched: the result is known
    kRefused,
    kRefusalOver,
    kResultOver,
    kTimedOut,
    kCancelled,
  };

  static constexpr std::int64_t kRefusalMs = 1000;
  static constexpr std::int64_t kResultMs = 3000;

  // A point count without a target set (not 3, 5 or 9) runs the five points.
  KioskCalibrationRun(const KioskOptions& options, const KioskScreen& screen, std::int64_t now_ms);

  // A touch lifted at `at` with `contacts` fingers down.
  void Touch(ClientPoint at, int contacts, std::int64_t now_ms);
  // Time passes: refusal mark, result screen and timeout end here.
  void Tick(std::int64_t now_ms);
  // Exit or Esc: cancels while touches are taken, closes the result screen early.
  void Cancel(std::int64_t now_ms);

  State state() const { return state_; }
  // Index of the target waiting: 0 .. targets().size() - 1, then targets().size() for the check.
  std::size_t current() const { return touches_.size(); }
  bool checking() const { return touches_.size() == targets_.size(); }
  ClientPoint current_target() const;
  const std::vector<ClientPoint>& targets() const { return targets_; }
  const std::vector<ClientPoint>& touches() const { return touches_; }
  ClientPoint check_target() const { return check_target_; }
  Verdict last_verdict() const { return last_verdict_; }
  const std::optional<KioskResult>& result() const { return result_; }
  KioskExit exit_code() const { return exit_; }

  void set_observer(TransitionObserver* observer) { observer_ = observer; }
  static constexpr std::string_view kMachineName = "kiosk-calibration";

 private:
  enum class Action { kNone, kRecord, kShowRefusal, kShowResult, kEndCancelled, kEndWithResult };
  struct Step {
    State next;
    Action action;
  };

  void Handle(Event event, std::int64_t now_ms);
  Step StepFrom(State from, Event event) const;
  Step OnAwaitingTouch(Event event) const;
  Step OnRefused(Event event) const;
  Step OnShowingResult(Event event) const;
  Step OnEnded(Event event) const;
  void Run(Action action, std::int64_t now_ms);

  KioskOptions options_;
  KioskScreen screen_;
  std::vector<ClientPoint> targets_;
  std::vector<ClientPoint> touches_;
  ClientPoint check_target_;
  State state_ = State::kAwaitingTouch;
  std::int64_t last_touch_ms_;
  bool touched_yet_ = false;
  std::int64_t state_since_ms_;
  ClientPoint pending_{};  // the touch an event is about
  Verdict last_verdict_ = Verdict::kAccepted;
  std::optional<KioskResult> result_;
  KioskExit exit_ = KioskExit::kCancelled;
  TransitionObserver* observer_ = nullptr;
};

std::string_view ToString(KioskCalibrationRun::State state);
std::string_view ToString(KioskCalibrationRun::Event event);

// The values a kiosk calibration stores for a monitor besides the panel's eleven: the check
// error and the fit's largest residual in micrometres (decimal text, like every MON value) and
// the time it was made (ISO 8601 UTC text, "2026-12-08T21:40:05Z"). The services ignore them.
using schema::kMonCalibratedAtFormat;
using schema::kMonCheckErrorUmFormat;
using schema::kMonFitErrorUmFormat;

std::string IsoUtcText(const UtcTime& time);

// The per-monitor values a calibration replaces, exactly as they stand (type and bytes, or absent):
// put back when a run does not succeed, so that the registry is as it was before the run.
struct SavedValue {
  std::string name;  // below General
  bool present = false;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};
struct SavedMonitorValues {
  std::int32_t monitor = 0;
  std::vector<SavedValue> values;
};
SavedMonitorValues SaveMonitorValues(SettingsStore& store, std::int32_t monitor);
[[nodiscard]] bool RestoreMonitorValues(SettingsStore& store, const SavedMonitorValues& saved);
// Writes the identity set (the touches are then recorded uncorrected).
[[nodiscard]] bool WriteIdentity(SettingsStore& store, std::int32_t monitor);
// Writes the matrix, X = Y = 0, zooms 10000 and the three values above, in one batch.
[[nodiscard]] bool WriteKioskCalibration(SettingsStore& store, std::int32_t monitor,
                                         const KioskResult& result, const UtcTime& now);

}  // namespace zorvik::panel
