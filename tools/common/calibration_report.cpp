// Reads the per-monitor calibration values with the services' rules and prints them.
#include "tools/common/calibration_report.h"

#include <cstdio>

#include "common/decimal_text.h"
#include "common/settings_access.h"
#include "common/settings_schema.h"
#include "tools/common/json_text.h"
#include "tools/common/text_parsing.h"

namespace zorvik {
namespace {

struct Numbered {
  const char* format;
  std::int32_t fallback;
  std::int32_t MonitorCalibration::*field;
  std::int32_t CalibrationMatrix::*matrix_field;
};

constexpr Numbered kValues[] = {
    {schema::kMonAnFormat, 1, nullptr, &CalibrationMatrix::An},
    {schema::kMonBnFormat, 0, nullptr, &CalibrationMatrix::Bn},
    {schema::kMonCnFormat, 0, nullptr, &CalibrationMatrix::Cn},
    {schema::kMonDnFormat, 0, nullptr, &CalibrationMatrix::Dn},
    {schema::kMonEnFormat, 1, nullptr, &CalibrationMatrix::En},
    {schema::kMonFnFormat, 0, nullptr, &CalibrationMatrix::Fn},
    {schema::kMonDividerFormat, 1, nullptr, &CalibrationMatrix::Divider},
    {schema::kMonXFormat, 0, &MonitorCalibration::x_offset, nullptr},
    {schema::kMonYFormat, 0, &MonitorCalibration::y_offset, nullptr},
    {schema::kMonXZoomAFormat, 10000, &MonitorCalibration::x_zoom, nullptr},
    {schema::kMonYZoomAFormat, 10000, &MonitorCalibration::y_zoom, nullptr},
};

// A text value as the loader reads it: missing or empty is absent.
std::optional<std::string> Text(SettingsStore& store, StoreKey key, const char* format, int n) {
  const auto text = ReadText(store, key, schema::NumberedName(format, n));
  if (!text || text->length == 0) return std::nullopt;
  return std::string(text->view());
}

// A stored error as the report trusts it: a non-negative decimal number, as the kiosk calibration
// writes it. Any other text is not a measurement (the atoi rule would read "junk" as a perfect 0).
std::optional<std::int32_t> Micrometres(const std::optional<std::string>& text) {
  const auto value = text ? ParseInt32Text(*text) : std::nullopt;
  return value && *value >= 0 ? value : std::nullopt;
}

std::string Optional(const std::optional<std::int32_t>& value) {
  return value ? std::to_string(*value) : "null";
}

std::string Millimetres(const std::optional<std::int32_t>& um) {
  if (!um) return "not measured";
  char text[32];
  std::snprintf(text, sizeof text, "%.3f mm", *um / 1000.0);
  return text;
}

}  // namespace

std::vector<MonitorCalibration> ReadCalibrations(SettingsStore& store) {
  std::vector<MonitorCalibration> out;
  const ScopedKey general =
      OpenKey(store, store.LocalMachine(), schema::kGeneralKey, key_rights::kQueryValue);
  for (int n = 0; n < schema::kMaxNumberedNames; ++n) {
    MonitorCalibration c;
    c.monitor = n;
    bool any = n == 0;
    for (const Numbered& v : kValues) {
      const auto text = general ? Text(store, general.get(), v.format, n) : std::nullopt;
      any = any || text.has_value();
      const std::int32_t value = text ? AtoiRule(*text) : v.fallback;
      if (v.field != nullptr) c.*v.field = value;
      if (v.matrix_field != nullptr) c.matrix.*v.matrix_field = value;
    }
    if (general) {
      const auto fit = Text(store, general.get(), schema::kMonFitErrorUmFormat, n);
      const auto check = Text(store, general.get(), schema::kMonCheckErrorUmFormat, n);
      c.calibrated_at = Text(store, general.get(), schema::kMonCalibratedAtFormat, n);
      c.fit_error_um = Micrometres(fit);
      c.check_error_um = Micrometres(check);
      any = any || fit || check || c.calibrated_at;
    }
    if (any) out.push_back(c);
  }
  return out;
}

std::string CalibrationJson(const MonitorCalibration& c) {
  const CalibrationMatrix& m = c.matrix;
  return "{\"monitor\":" + std::to_string(c.monitor) +
         ",\"matrix\":{\"An\":" + std::to_string(m.An) + ",\"Bn\":" + std::to_string(m.Bn) +
         ",\"Cn\":" + std::to_string(m.Cn) + ",\"Dn\":" + std::to_string(m.Dn) +
         ",\"En\":" + std::to_string(m.En) + ",\"Fn\":" + std::to_string(m.Fn) +
         ",\"Divider\":" + std::to_string(m.Divider) +
         "},\"offset\":{\"X\":" + std::to_string(c.x_offset) +
         ",\"Y\":" + std::to_string(c.y_offset) + "},\"zoom\":{\"X\":" + std::to_string(c.x_zoom) +
         ",\"Y\":" + std::to_string(c.y_zoom) + "},\"fitErrorUm\":" + Optional(c.fit_error_um) +
         ",\"checkErrorUm\":" + Optional(c.check_error_um) + ",\"calibratedAt\":" +
         (c.calibrated_at ? JsonString(*c.calibrated_at) : std::string("null")) + "}";
}

std::string CalibrationWords(const MonitorCalibration& c) {
  const CalibrationMatrix& m = c.matrix;
  char head[64];
  std::snprintf(head, sizeof head, "monitor %02d: ", c.monitor);
  std::string out = head;
  out += m.Divider == 0 ? "no mapping (Divider 0)"
                        : "x' = (" + std::to_string(m.An) + " x + " + std::to_string(m.Bn) +
                              " y + " + std::to_string(m.Cn) + ") / " + std::to_string(m.Divider) +
                              ", y' = (" + std::to_string(m.Dn) + " x + " + std::to_string(m.En) +
                              " y + " + std::to_string(m.Fn) + ") / " + std::to_string(m.Divider);
  out +=
      "\n  check error " + Millimetres(c.check_error_um) + ", fit error " +
      Millimetres(c.fit_error_um) + ", calibrated " +
      (c.calibrated_at ? PrintableText(*c.calibrated_at, 40) : std::string("at an unknown time"));
  if (c.x_offset != 0 || c.y_offset != 0 || c.x_zoom != 10000 || c.y_zoom != 10000) {
    out += "\n  fine correction: offset " + std::to_string(c.x_offset) + ", " +
           std::to_string(c.y_offset) + " (thousandths), zoom " + std::to_string(c.x_zoom) + ", " +
           std::to_string(c.y_zoom) + " (ten-thousandths)";
  }
  return out + "\n";
}

}  // namespace zorvik
