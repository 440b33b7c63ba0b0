// What the Option/Tools page decides without a window: the fine coordinate correction of the
// active monitor (offsets and zooms, their steps, limits and "%f" texts, the order of writes and
// signals), the identity calibration of "Auto calibration ", the auto-repeat of the step buttons,
// how the touch screen dialog is opened from each button, and where Clicktog is started from.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/settings_store.h"
#include "panel/panel_resources.h"

namespace zorvik::panel {

// How the page's decisions reach the services. The page sets the USB setup-change event and then
// the serial one for each SetupChanged; the tests record.
class CorrectionSignals {
 public:
  virtual ~CorrectionSignals() = default;
  virtual void SetupChanged() = 0;
  virtual void Pause(int milliseconds) = 0;
};

// Every signal round of the page pauses this long.
inline constexpr int kSignalPauseMs = 10;

enum class CorrectionStep {
  kUp,
  kDown,
  kLeft,
  kRight,
  kOffsetReset,
  kXZoomMinus,
  kXZoomPlus,
  kYZoomMinus,
  kYZoomPlus,
  kZoomReset,
};

// Offsets or zooms: the two values a step reads, writes and shows together.
enum class CorrectionPairKind { kOffset, kZoom };

CorrectionPairKind PairOf(CorrectionStep step);

struct CorrectionButton {
  int control_id;
  CorrectionStep step;
  bool repeats;  // the eight step buttons repeat while held; the two Reset buttons do not
};
inline constexpr std::array<CorrectionButton, 10> kCorrectionButtons{{
    {IDC_OFFSET_UP, CorrectionStep::kUp, true},
    {IDC_OFFSET_DOWN, CorrectionStep::kDown, true},
    {IDC_OFFSET_LEFT, CorrectionStep::kLeft, true},
    {IDC_OFFSET_RIGHT, CorrectionStep::kRight, true},
    {IDC_OFFSET_RESET, CorrectionStep::kOffsetReset, false},
    {IDC_X_ZOOM_MINUS, CorrectionStep::kXZoomMinus, true},
    {IDC_X_ZOOM_PLUS, CorrectionStep::kXZoomPlus, true},
    {IDC_Y_ZOOM_MINUS, CorrectionStep::kYZoomMinus, true},
    {IDC_Y_ZOOM_PLUS, CorrectionStep::kYZoomPlus, true},
    {IDC_ZOOM_RESET, CorrectionStep::kZoomReset, false},
}};
const CorrectionButton* FindCorrectionButton(int control_id);

// One pair of per-monitor values: its General value names, its default and its two fields.
struct CorrectionPairLayout {
  const char* x_format;  // "MON%02dX", "MON%02dXZOOMA"
  const char* y_format;
  std::int32_t fallback;  // read default, and what Reset sets
  int x_field;
  int y_field;
};
const CorrectionPairLayout& LayoutOf(CorrectionPairKind kind);

struct CorrectionPair {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const CorrectionPair&) const = default;
};

// The active monitor lookup's answer as a monitor index: a negative answer is monitor 0.
int ActiveMonitorIndex(SettingsStore& store);

// Reads a pair of monitor `monitor` from General: a value that cannot be read as text, or is
// empty, is the default; any other text counts by the atoi rule.
CorrectionPair ReadCorrectionPair(SettingsStore& store, CorrectionPairKind kind, int monitor);

// What one press does to the current pair. Offsets have no limit, zooms do not go below 0;
// neither wraps past the 32-bit limits.
CorrectionPair ApplyStep(CorrectionStep step, CorrectionPair current);

// A field's text: the value times 0.01, as "%f" prints it (1 shows 0.010000, 10000 100.000000).
std::string PercentText(std::int32_t value);

// One press in full: look up the active monitor, read its pair, change it, write both values
// through a batch writer and forget the monitor's calibration accuracy, then tell the services and
// pause. Gives the pair to show, or nothing
// when the pair could not be written; the services are then not told.
struct StepOutcome {
  CorrectionPairKind kind;
  CorrectionPair shown;
};
std::optional<StepOutcome> RunCorrectionStep(SettingsStore& store, CorrectionSignals& signals,
                                             CorrectionStep step);

// "Auto calibration ": an offset Reset and a zoom Reset as full presses, then the identity
// calibration of the active monitor, written and signalled between two pauses. It stops at the
// first part that cannot be written.
struct AutoCalibrationOutcome {
  std::optional<CorrectionPair> offsets;  // set when the offset Reset was written
  std::optional<CorrectionPair> zooms;
  bool identity_written = false;
};
AutoCalibrationOutcome RunAutoCalibration(SettingsStore& store, CorrectionSignals& signals);

// How each tool button opens the touch screen dialog, and what the page does when it returns.
struct TouchScreenOpening {
  int screen_mode;     // 0 calibration, 1 drawing test, 2 multitouch view
  int multi_point;     // touches from the shared touch data rather than the mouse
  bool setup_events;   // the dialog gets the two setup-change events
  bool signal_after;   // mark the page modified and tell the services when it returns
  bool repaint_after;  // repaint the page when it returns
};
std::optional<TouchScreenOpening> TouchScreenOpeningFor(int control_id, bool single_point_checked);

// Auto-repeat of a step button. Time belongs to the caller: the button runs the timer the machine
// asks for and reports its ticks; the machine says when a step is due.
class RepeatButton {
 public:
  static constexpr unsigned kFirstDelayMs = 200;
  static constexpr unsigned kRepeatDelayMs = 20;

  enum class State { kIdle, kHeld };
  enum class Event { kButtonDown, kTimer, kButtonUp, kCaptureLost };

  struct Action {
    unsigned start_timer_ms = 0;  // 0: leave the timer as it is
    bool stop_timer = false;
    bool step = false;             // send the page one click of the button
    bool release_capture = false;  // which clears the pushed look
    bool operator==(const Action&) const = default;
  };

  // `pushed`: the button shows pushed now (the pointer is still on it); read at timer ticks only.
  Action Handle(Event event, bool pushed = false);

  State state() const { return state_; }
  int repeat_count() const { return repeat_count_; }

 private:
  State state_ = State::kIdle;
  int repeat_count_ = 0;
};
const char* ToString(RepeatButton::State state);
const char* ToString(RepeatButton::Event event);

inline constexpr char kClicktogFile[] = "Clicktog.exe";
// "<TargetDir>\Clicktog.exe" from Program's TargetDir. Nothing when Program cannot be opened, or
// when TargetDir is missing, not text or empty: there is then no folder to start it from.
std::optional<std::string> ClicktogPath(SettingsStore& store);
// The command line it is started with: its path quoted, as Popdeck's is.
std::string ClicktogCommandLine(std::string_view path);

}  // namespace zorvik::panel
