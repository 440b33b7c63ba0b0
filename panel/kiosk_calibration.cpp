// The kiosk calibration's targets, misclick rule, run and stored values.
#include "panel/kiosk_calibration.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

#include "common/registry_batch_writer.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"

namespace zorvik::panel {
namespace {

double DistanceMm(const KioskScreen& screen, ClientPoint a, ClientPoint b) {
  return DistanceMm(screen.scale, a.x - b.x, a.y - b.y);
}

}  // namespace

std::vector<ClientPoint> KioskTargets(int points, std::int32_t width, std::int32_t height) {
  const std::int32_t left = width / 10, right = width - width / 10, centre_x = width / 2;
  const std::int32_t top = height / 10, bottom = height - height / 10, centre_y = height / 2;
  switch (points) {
    case 3: {
      const auto t = MatrixTargets({0, 0, width, height});
      return {t.begin(), t.end()};
    }
    case 5:
      return {{left, top}, {centre_x, centre_y}, {right, top}, {right, bottom}, {left, bottom}};
    case 9:
      return {{left, top},       {centre_x, centre_y}, {right, top},
              {right, bottom},   {left, bottom},       {centre_x, top},
              {right, centre_y}, {centre_x, bottom},   {left, centre_y}};
    default:
      return {};
  }
}

ClientPoint CheckTarget(std::int32_t width, std::int32_t height) {
  return {width * 7 / 10, height * 3 / 4};
}

std::string_view ToString(Verdict verdict) {
  switch (verdict) {
    case Verdict::kAccepted:
      return "accepted";
    case Verdict::kTwoFingers:
      return "two-fingers";
    case Verdict::kTooSoon:
      return "too-soon";
    case Verdict::kFarHalf:
      return "far-half";
    case Verdict::kOffPrediction:
      return "off-prediction";
  }
  return "?";
}

int ContactsInPointFrame(const PointFrame& frame) {
  if (!IsTouching(frame.state)) return 1;
  return static_cast<int>(std::max({frame.rows, frame.columns, 1u}));
}

std::optional<Prediction> PredictTouch(const KioskScreen& screen,
                                       std::span<const ClientPoint> targets_done,
                                       std::span<const ClientPoint> touches_done,
                                       ClientPoint target) {
  const std::size_t n = std::min(targets_done.size(), touches_done.size());
  if (n == 0) return std::nullopt;
  // Targets onto touches: where this screen reports a finger on the target.
  if (const auto fit = FitAffine(targets_done.first(n), touches_done.first(n))) {
    return Prediction{Apply(*fit, {static_cast<double>(target.x), static_cast<double>(target.y)}),
                      kMisclickMarginMm};
  }
  std::size_t nearest = 0;
  for (std::size_t i = 1; i < n; ++i) {
    if (DistanceMm(screen, target, targets_done[i]) <
        DistanceMm(screen, target, targets_done[nearest])) {
      nearest = i;
    }
  }
  const double dx = touches_done[nearest].x - targets_done[nearest].x;
  const double dy = touches_done[nearest].y - targets_done[nearest].y;
  return Prediction{
      {target.x + dx, target.y + dy},
      kMisclickMarginMm + kUnfittedSlack * DistanceMm(screen, target, targets_done[nearest])};
}

Verdict JudgeTouch(const KioskScreen& screen, std::span<const ClientPoint> targets_done,
                   std::span<const ClientPoint> touches_done, ClientPoint target,
                   const TouchFacts& touch) {
  if (touch.contacts > 1) return Verdict::kTwoFingers;
  if (touch.ms_since_last && *touch.ms_since_last < kMinimumTouchGapMs) return Verdict::kTooSoon;
  const auto prediction = PredictTouch(screen, targets_done, touches_done, target);
  if (!prediction) {
    // The far half: nearer to the target's mirror image through the centre than to the target.
    const ClientPoint mirror{screen.width - target.x, screen.height - target.y};
    const double to_target = DistanceMm(screen, touch.at, target);
    const double to_mirror = DistanceMm(screen, touch.at, mirror);
    return to_mirror < to_target ? Verdict::kFarHalf : Verdict::kAccepted;
  }
  const double off =
      DistanceMm(screen.scale, touch.at.x - prediction->at.x, touch.at.y - prediction->at.y);
  return off > prediction->allowed_mm ? Verdict::kOffPrediction : Verdict::kAccepted;
}

// ---- the command line ----

namespace {

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) break;
    text.remove_prefix(start);
    const std::size_t end = std::min(text.find_first_of(" \t"), text.size());
    words.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
  return words;
}

bool SameWord(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// A non-negative decimal number of at most 12 characters with at least one digit, with a
// fraction when `fraction` allows it.
std::optional<double> Number(std::string_view word, bool fraction) {
  if (word.size() > 12 || word.find_first_of("0123456789") == std::string_view::npos) {
    return std::nullopt;
  }
  double value = 0, scale = 0;
  for (const char c : word) {
    if (c == '.' && fraction && scale == 0) {
      scale = 1;
    } else if (c >= '0' && c <= '9') {
      if (scale > 0) {
        scale /= 10;
        value += (c - '0') * scale;
      } else {
        value = value * 10 + (c - '0');
      }
    } else {
      return std::nullopt;
    }
  }
  return value;
}

}  // namespace

bool IsKioskCommandLine(std::string_view command_line) {
  const auto words = Words(command_line);
  return !words.empty() && SameWord(words[0], "/calibrate");
}

std::optional<KioskArguments> ParseKioskArguments(std::string_view command_line) {
  const auto words = Words(command_line);
  if (words.empty() || !SameWord(words[0], "/calibrate")) return std::nullopt;
  KioskArguments arguments;
  for (std::size_t i = 1; i < words.size(); i += 2) {
    if (i + 1 >= words.size()) return std::nullopt;
    const std::string_view option = words[i];
    const bool decimal = SameWord(option, "/max-error");
    const auto value = Number(words[i + 1], decimal);
    if (!value) return std::nullopt;
    if (SameWord(option, "/monitor") && *value < schema::kMaxNumberedNames) {
      arguments.monitor = static_cast<std::int32_t>(*value);
    } else if (SameWord(option, "/points") && (*value == 3 || *value == 5 || *value == 9)) {
      arguments.options.points = static_cast<int>(*value);
    } else if (SameWord(option, "/timeout") && *value <= 24 * 3600) {
      arguments.options.timeout_ms = static_cast<std::int64_t>(*value) * 1000;
    } else if (decimal) {
      arguments.options.max_error_mm = *value;
    } else {
      return std::nullopt;
    }
  }
  return arguments;
}

// ---- the run ----

KioskCalibrationRun::KioskCalibrationRun(const KioskOptions& options, const KioskScreen& screen,
                                         std::int64_t now_ms)
    : options_(options),
      screen_(screen),
      targets_(KioskTargets(options.points, screen.width, screen.height)),
      check_target_(CheckTarget(screen.width, screen.height)),
      last_touch_ms_(now_ms),
      state_since_ms_(now_ms) {
  if (targets_.empty()) targets_ = KioskTargets(KioskOptions{}.points, screen.width, screen.height);
  touches_.reserve(targets_.size());
}

ClientPoint KioskCalibrationRun::current_target() const {
  return checking() ? check_target_ : targets_[std::min(current(), targets_.size() - 1)];
}

void KioskCalibrationRun::Touch(ClientPoint at, int contacts, std::int64_t now_ms) {
  const std::optional<std::int64_t> gap =
      touched_yet_ ? std::optional<std::int64_t>(now_ms - last_touch_ms_) : std::nullopt;
  last_touch_ms_ = now_ms;
  touched_yet_ = true;
  if (state_ != State::kAwaitingTouch) return;  // the mark or the result shows: not judged
  pending_ = at;
  if (checking()) {
    // The check touch is judged against the fitted matrix like any other.
    last_verdict_ = JudgeTouch(screen_, targets_, touches_, check_target_, {at, contacts, gap});
    Handle(last_verdict_ == Verdict::kAccepted ? Event::kChecked : Event::kRefused, now_ms);
    return;
  }
  last_verdict_ = JudgeTouch(screen_, std::span(targets_).first(touches_.size()), touches_,
                             current_target(), {at, contacts, gap});
  if (last_verdict_ != Verdict::kAccepted) return Handle(Event::kRefused, now_ms);
  if (current() + 1 < targets_.size()) return Handle(Event::kAccepted, now_ms);
  std::vector<ClientPoint> touched = touches_;
  touched.push_back(at);
  Handle(FitCalibration(touched, targets_) ? Event::kFitted : Event::kDegenerate, now_ms);
}

void KioskCalibrationRun::Tick(std::int64_t now_ms) {
  switch (state_) {
    case State::kAwaitingTouch:
      if (options_.timeout_ms > 0 && now_ms - last_touch_ms_ >= options_.timeout_ms) {
        Handle(Event::kTimedOut, now_ms);
      }
      return;
    case State::kRefused:
      if (now_ms - state_since_ms_ >= kRefusalMs) Handle(Event::kRefusalOver, now_ms);
      return;
    case State::kShowingResult:
      if (now_ms - state_since_ms_ >= kResultMs) Handle(Event::kResultOver, now_ms);
      return;
    case State::kEnded:
      return;
  }
}

void KioskCalibrationRun::Cancel(std::int64_t now_ms) {
  Handle(state_ == State::kShowingResult ? Event::kResultOver : Event::kCancelled, now_ms);
}

void KioskCalibrationRun::Handle(Event event, std::int64_t now_ms) {
  const State from = state_;
  const Step step = StepFrom(from, event);
  state_ = step.next;
  if (state_ != from) state_since_ms_ = now_ms;
  if (observer_ != nullptr) {
    const UtcTime at = FromEpochMilliseconds(now_ms);
    ReportTransition(observer_, kMachineName, from, event, state_, at);
  }
  Run(step.action, now_ms);
}

KioskCalibrationRun::Step KioskCalibrationRun::StepFrom(State from, Event event) const {
  switch (from) {
    case State::kAwaitingTouch:
      return OnAwaitingTouch(event);
    case State::kRefused:
      return OnRefused(event);
    case State::kShowingResult:
      return OnShowingResult(event);
    case State::kEnded:
      return OnEnded(event);
  }
  return {from, Action::kNone};
}

KioskCalibrationRun::Step KioskCalibrationRun::OnAwaitingTouch(Event event) const {
  switch (event) {
    case Event::kAccepted:
    case Event::kFitted:
      return {State::kAwaitingTouch, Action::kRecord};
    case Event::kDegenerate:
    case Event::kChecked:
      return {State::kShowingResult, Action::kShowResult};
    case Event::kRefused:
      return {State::kRefused, Action::kShowRefusal};
    case Event::kTimedOut:
    case Event::kCancelled:
      return {State::kEnded, Action::kEndCancelled};
    case Event::kRefusalOver:
    case Event::kResultOver:
      return {State::kAwaitingTouch, Action::kNone};
  }
  return {State::kAwaitingTouch, Action::kNone};
}

KioskCalibrationRun::Step KioskCalibrationRun::OnRefused(Event event) const {
  switch (event) {
    case Event::kRefusalOver:
      return {State::kAwaitingTouch, Action::kNone};
    case Event::kCancelled:
    case Event::kTimedOut:
      return {State::kEnded, Action::kEndCancelled};
    case Event::kAccepted:
    case Event::kFitted:
    case Event::kDegenerate:
    case Event::kChecked:
    case Event::kRefused:
    case Event::kResultOver:
      return {State::kRefused, Action::kNone};
  }
  return {State::kRefused, Action::kNone};
}

KioskCalibrationRun::Step KioskCalibrationRun::OnShowingResult(Event event) const {
  switch (event) {
    case Event::kResultOver:
      return {State::kEnded, Action::kEndWithResult};
    case Event::kAccepted:
    case Event::kFitted:
    case Event::kDegenerate:
    case Event::kChecked:
    case Event::kRefused:
    case Event::kRefusalOver:
    case Event::kTimedOut:
    case Event::kCancelled:
      return {State::kShowingResult, Action::kNone};
  }
  return {State::kShowingResult, Action::kNone};
}

KioskCalibrationRun::Step KioskCalibrationRun::OnEnded(Event) const {
  return {State::kEnded, Action::kNone};
}

void KioskCalibrationRun::Run(Action action, std::int64_t) {
  switch (action) {
    case Action::kNone:
      return;
    case Action::kRecord:
      touches_.push_back(pending_);
      return;
    case Action::kShowRefusal:
      return;
    case Action::kShowResult: {
      KioskResult result;
      std::vector<ClientPoint> touched = touches_;
      if (!checking()) touched.push_back(pending_);  // the last fit touch, when degenerate
      const auto matrix = FitCalibration(touched, targets_);
      result.degenerate = !matrix;
      if (matrix) {
        result.matrix = *matrix;
        result.fit = FitResidual(*matrix, touched, targets_, screen_.scale);
        result.check = PointError(*matrix, pending_, check_target_, screen_.scale);
        result.passed = result.check.mm <= options_.max_error_mm;
      }
      result_ = result;
      exit_ = result.degenerate
                  ? KioskExit::kDegenerate
                  : (result.passed ? KioskExit::kCalibrated : KioskExit::kCheckFailed);
      return;
    }
    case Action::kEndCancelled:
      exit_ = KioskExit::kCancelled;
      return;
    case Action::kEndWithResult:
      return;
  }
}

std::string_view ToString(KioskCalibrationRun::State state) {
  using State = KioskCalibrationRun::State;
  switch (state) {
    case State::kAwaitingTouch:
      return "awaiting-touch";
    case State::kRefused:
      return "refused";
    case State::kShowingResult:
      return "showing-result";
    case State::kEnded:
      return "ended";
  }
  return "?";
}

std::string_view ToString(KioskCalibrationRun::Event event) {
  using Event = KioskCalibrationRun::Event;
  switch (event) {
    case Event::kAccepted:
      return "accepted";
    case Event::kFitted:
      return "fitted";
    case Event::kDegenerate:
      return "degenerate";
    case Event::kChecked:
      return "checked";
    case Event::kRefused:
      return "refused";
    case Event::kRefusalOver:
      return "refusal-over";
    case Event::kResultOver:
      return "result-over";
    case Event::kTimedOut:
      return "timed-out";
    case Event::kCancelled:
      return "cancelled";
  }
  return "?";
}

// ---- stored values ----

std::string IsoUtcText(const UtcTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02uZ", unsigned{t.year},
                unsigned{t.month}, unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute},
                unsigned{t.second});
  return text;
}

SavedMonitorValues SaveMonitorValues(SettingsStore& store, std::int32_t monitor) {
  SavedMonitorValues saved{monitor, {}};
  const ScopedKey general =
      OpenKey(store, store.LocalMachine(), schema::kGeneralKey, key_rights::kQueryValue);
  for (const char* format : kCalibrationFormats) {
    SavedValue& entry = saved.values.emplace_back();
    entry.name = schema::NumberedName(format, monitor);
    if (!general) continue;
    std::uint8_t probe[1];
    std::uint32_t size = 0;
    const std::uint32_t found =
        store.QueryValue(general.get(), entry.name, &entry.type, probe, &size);
    if (found != store_error::kSuccess && found != store_error::kMoreData) continue;
    entry.data.resize(size);
    entry.present = store.QueryValue(general.get(), entry.name, &entry.type, entry.data, &size) ==
                        store_error::kSuccess &&
                    size == entry.data.size();
  }
  return saved;
}

bool RestoreMonitorValues(SettingsStore& store, const SavedMonitorValues& saved) {
  const ScopedKey general =
      CreateKey(store, store.LocalMachine(), schema::kGeneralKey, key_rights::kSetValue);
  if (!general) return false;
  bool restored = true;
  for (const SavedValue& entry : saved.values) {
    const std::uint32_t result =
        entry.present ? store.SetValue(general.get(), entry.name, entry.type, entry.data)
                      : store.DeleteValue(general.get(), entry.name);
    restored =
        restored && (result == store_error::kSuccess || result == store_error::kFileNotFound);
  }
  return restored;
}

bool WriteIdentity(SettingsStore& store, std::int32_t monitor) {
  return WriteSettingsBatch(store, [&](RegistryBatchWriter& writer) {
    AddCalibrationEntries(writer, monitor, CalibrationMatrix{});
  });
}

bool WriteKioskCalibration(SettingsStore& store, std::int32_t monitor, const KioskResult& result,
                           const UtcTime& now) {
  return WriteSettingsBatch(store, [&](RegistryBatchWriter& writer) {
    AddCalibrationEntries(writer, monitor, result.matrix);
    writer.SetInteger(schema::GeneralEntry(kMonCheckErrorUmFormat, monitor),
                      result.check.micrometres());
    writer.SetInteger(schema::GeneralEntry(kMonFitErrorUmFormat, monitor),
                      result.fit.micrometres());
    writer.SetText(schema::GeneralEntry(kMonCalibratedAtFormat, monitor), IsoUtcText(now));
  });
}

}  // namespace zorvik::panel
