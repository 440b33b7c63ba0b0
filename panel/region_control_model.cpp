// The Option/Tools page's decisions: correction steps, their writes and signals, the identity
// calibration, the repeat buttons and Clicktog's place.
#include "panel/region_control_model.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "common/decimal_text.h"
#include "common/registry_batch_writer.h"
#include "common/service_settings.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "panel/calibration_model.h"
#include "panel/display_mapping_model.h"
#include "panel/popup_page_model.h"

namespace zorvik::panel {
namespace {

constexpr CorrectionPairLayout kOffsetLayout{schema::kMonXFormat, schema::kMonYFormat, 0,
                                             IDC_X_OFFSET, IDC_Y_OFFSET};
constexpr CorrectionPairLayout kZoomLayout{schema::kMonXZoomAFormat, schema::kMonYZoomAFormat,
                                           kUsbFullZoom, IDC_X_ZOOM, IDC_Y_ZOOM};

// One more or one less, held at the 32-bit limits: a value read from the registry may already sit
// at a limit (the atoi rule saturates), and wrapping would turn it into the opposite extreme.
std::int32_t Add(std::int32_t value, std::int32_t delta) {
  const std::int64_t sum = std::int64_t{value} + delta;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      sum, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

void SignalRound(CorrectionSignals& signals) {
  signals.SetupChanged();
  signals.Pause(kSignalPauseMs);
}

}  // namespace

CorrectionPairKind PairOf(CorrectionStep step) {
  switch (step) {
    case CorrectionStep::kUp:
    case CorrectionStep::kDown:
    case CorrectionStep::kLeft:
    case CorrectionStep::kRight:
    case CorrectionStep::kOffsetReset:
      return CorrectionPairKind::kOffset;
    case CorrectionStep::kXZoomMinus:
    case CorrectionStep::kXZoomPlus:
    case CorrectionStep::kYZoomMinus:
    case CorrectionStep::kYZoomPlus:
    case CorrectionStep::kZoomReset:
      return CorrectionPairKind::kZoom;
  }
  return CorrectionPairKind::kOffset;
}

const CorrectionButton* FindCorrectionButton(int control_id) {
  const auto found =
      std::find_if(kCorrectionButtons.begin(), kCorrectionButtons.end(),
                   [control_id](const CorrectionButton& b) { return b.control_id == control_id; });
  return found == kCorrectionButtons.end() ? nullptr : &*found;
}

const CorrectionPairLayout& LayoutOf(CorrectionPairKind kind) {
  return kind == CorrectionPairKind::kOffset ? kOffsetLayout : kZoomLayout;
}

int ActiveMonitorIndex(SettingsStore& store) {
  return std::max(LookUpActiveMonitor(store), std::int32_t{0});
}

CorrectionPair ReadCorrectionPair(SettingsStore& store, CorrectionPairKind kind, int monitor) {
  const CorrectionPairLayout& layout = LayoutOf(kind);
  CorrectionPair pair{layout.fallback, layout.fallback};
  const ScopedKey general =
      OpenKey(store, store.LocalMachine(), schema::kGeneralKey, key_rights::kRead);
  if (!general) return pair;
  const auto read = [&](const char* format, std::int32_t& member) {
    const auto text = ReadText(store, general.get(), schema::NumberedName(format, monitor));
    if (text && text->length != 0) member = AtoiRule(text->view());
  };
  read(layout.x_format, pair.x);
  read(layout.y_format, pair.y);
  return pair;
}

CorrectionPair ApplyStep(CorrectionStep step, CorrectionPair current) {
  CorrectionPair next = current;
  switch (step) {
    case CorrectionStep::kUp:
      next.y = Add(current.y, -1);
      return next;
    case CorrectionStep::kDown:
      next.y = Add(current.y, 1);
      return next;
    case CorrectionStep::kLeft:
      next.x = Add(current.x, -1);
      return next;
    case CorrectionStep::kRight:
      next.x = Add(current.x, 1);
      return next;
    case CorrectionStep::kOffsetReset:
      return {0, 0};
    case CorrectionStep::kXZoomMinus:
      next.x = Add(current.x, -1);
      break;
    case CorrectionStep::kXZoomPlus:
      next.x = Add(current.x, 1);
      break;
    case CorrectionStep::kYZoomMinus:
      next.y = Add(current.y, -1);
      break;
    case CorrectionStep::kYZoomPlus:
      next.y = Add(current.y, 1);
      break;
    case CorrectionStep::kZoomReset:
      return {kUsbFullZoom, kUsbFullZoom};
  }
  // Zoom steps: neither zoom of the pair is written below 0.
  next.x = std::max(next.x, std::int32_t{0});
  next.y = std::max(next.y, std::int32_t{0});
  return next;
}

std::string PercentText(std::int32_t value) {
  char text[64];
  const int length = std::snprintf(text, sizeof text, "%f", value * 0.01);
  return std::string(text, static_cast<std::size_t>(std::clamp(length, 0, 63)));
}

std::optional<StepOutcome> RunCorrectionStep(SettingsStore& store, CorrectionSignals& signals,
                                             CorrectionStep step) {
  const CorrectionPairKind kind = PairOf(step);
  const CorrectionPairLayout& layout = LayoutOf(kind);
  const int monitor = ActiveMonitorIndex(store);
  const CorrectionPair next = ApplyStep(step, ReadCorrectionPair(store, kind, monitor));
  const bool written = WriteSettingsBatch(store, [&](RegistryBatchWriter& writer) {
    writer.SetInteger(schema::GeneralEntry(layout.x_format, monitor), next.x);
    writer.SetInteger(schema::GeneralEntry(layout.y_format, monitor), next.y);
  });
  if (!written || !ForgetCalibrationAccuracy(store, monitor)) return std::nullopt;
  SignalRound(signals);
  return StepOutcome{kind, next};
}

AutoCalibrationOutcome RunAutoCalibration(SettingsStore& store, CorrectionSignals& signals) {
  AutoCalibrationOutcome outcome;
  const auto offsets = RunCorrectionStep(store, signals, CorrectionStep::kOffsetReset);
  if (!offsets) return outcome;
  outcome.offsets = offsets->shown;
  const auto zooms = RunCorrectionStep(store, signals, CorrectionStep::kZoomReset);
  if (!zooms) return outcome;
  outcome.zooms = zooms->shown;
  const int monitor = ActiveMonitorIndex(store);
  outcome.identity_written = WriteSettingsBatch(store, [&](RegistryBatchWriter& writer) {
    AddMatrixEntries(writer, monitor, CalibrationMatrix{});
  });
  if (!outcome.identity_written) return outcome;
  signals.Pause(kSignalPauseMs);
  SignalRound(signals);
  return outcome;
}

std::optional<TouchScreenOpening> TouchScreenOpeningFor(int control_id, bool single_point_checked) {
  switch (control_id) {
    case IDC_CALIBRATION:
      return TouchScreenOpening{0, 0, true, true, false};
    case IDC_TOUCH_TEST:
      return TouchScreenOpening{1, single_point_checked ? 0 : 1, true, false, true};
    case IDC_MULTITOUCH_VIEW:
      return TouchScreenOpening{2, 1, false, false, false};
    default:
      return std::nullopt;
  }
}

RepeatButton::Action RepeatButton::Handle(Event event, bool pushed) {
  Action action;
  switch (state_) {
    case State::kIdle:
      switch (event) {
        case Event::kButtonDown:
          state_ = State::kHeld;
          repeat_count_ = 0;
          action.start_timer_ms = kFirstDelayMs;
          return action;
        case Event::kTimer:     // a tick left over from a timer already stopped
        case Event::kButtonUp:  // a press that began elsewhere is not a press of this button
        case Event::kCaptureLost:
          return action;
      }
      break;
    case State::kHeld:
      switch (event) {
        case Event::kButtonDown:  // a second press cannot come while the first is held
          return action;
        case Event::kTimer:
          // The pointer went off the button: no step, and the timer keeps running, so that the
          // steps go on when it comes back while the button is still held.
          if (!pushed) return action;
          action.start_timer_ms = kRepeatDelayMs;
          action.step = true;
          ++repeat_count_;
          return action;
        case Event::kButtonUp:
          state_ = State::kIdle;
          action.stop_timer = true;
          action.step = true;
          action.release_capture = true;
          return action;
        case Event::kCaptureLost:
          // Someone else took the mouse (a message box): the press ends without a last step.
          state_ = State::kIdle;
          action.stop_timer = true;
          return action;
      }
      break;
  }
  return action;
}

const char* ToString(RepeatButton::State state) {
  switch (state) {
    case RepeatButton::State::kIdle:
      return "idle";
    case RepeatButton::State::kHeld:
      return "held";
  }
  return "?";
}

const char* ToString(RepeatButton::Event event) {
  switch (event) {
    case RepeatButton::Event::kButtonDown:
      return "button down";
    case RepeatButton::Event::kTimer:
      return "timer";
    case RepeatButton::Event::kButtonUp:
      return "button up";
    case RepeatButton::Event::kCaptureLost:
      return "capture lost";
  }
  return "?";
}

std::optional<std::string> ClicktogPath(SettingsStore& store) {
  const ScopedKey program =
      OpenKey(store, store.LocalMachine(), schema::kProgramKey, key_rights::kRead);
  if (!program) return std::nullopt;
  const std::optional<TextValue> target_dir = ReadText(store, program.get(), schema::kTargetDir);
  if (!target_dir || target_dir->view().empty()) return std::nullopt;
  return std::string(target_dir->view()) + "\\" + kClicktogFile;
}

std::string ClicktogCommandLine(std::string_view path) {
  return PopdeckCommandLine(path);
}

}  // namespace zorvik::panel
