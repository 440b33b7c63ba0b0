// Shadow counts per cell, blocked and dead verdicts, and their JSON line, table and SVG strip.
#include "tools/common/beam_report.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "usbsvc/blob_finder.h"

namespace zorvik {
namespace {

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

double Share(std::uint32_t part, std::uint32_t whole) {
  return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
}

// Counts one axis of every frame; `first` is the axis's offset in a frame's shadow bytes.
void CountAxis(const std::vector<std::uint8_t>& shadows, std::size_t stride, std::size_t first,
               std::uint32_t frames, const BeamThresholds& limits, BeamAxis& axis) {
  const std::size_t cells = axis.cells.size();
  for (std::size_t f = 0; f < frames; ++f) {
    for (std::size_t i = 0; i < cells; ++i)
      axis.cells[i].shadowed += shadows[f * stride + first + i];
  }
  // Shadow elsewhere: a shadowed cell outside the cell's own run of shadowed cells. Cells dark
  // in nearly every frame (a blocked beam, a finger resting all along) are no evidence: a finger
  // held still beside a blocked beam would otherwise make each look blocked to the other.
  const auto steady = [&](std::size_t i) {
    return Share(axis.cells[i].shadowed, frames) >= limits.blocked_share;
  };
  std::vector<std::uint32_t> in_run(cells);  // evidence cells in the cell's own run
  for (std::size_t f = 0; f < frames; ++f) {
    const std::uint8_t* shadow = &shadows[f * stride + first];
    std::uint32_t total = 0;
    for (std::size_t i = 0; i < cells;) {
      if (!shadow[i]) {
        in_run[i++] = 0;
        continue;
      }
      std::size_t end = i;
      std::uint32_t evidence = 0;
      for (; end < cells && shadow[end]; ++end)
        evidence += steady(end) ? 0 : 1;
      for (std::size_t k = i; k < end; ++k)
        in_run[k] = evidence;
      total += evidence;
      i = end;
    }
    for (std::size_t i = 0; i < cells; ++i) {
      if (total > in_run[i]) {
        ++axis.cells[i].apart;
        axis.cells[i].shadowed_apart += shadow[i];
      }
    }
  }
  const bool enough = frames >= limits.min_frames;
  std::vector<bool> suspect(cells, false);
  for (std::size_t i = 0; i < cells; ++i) {
    const BeamCell& cell = axis.cells[i];
    suspect[i] = enough && cell.apart >= limits.min_apart &&
                 Share(cell.shadowed_apart, cell.apart) >= limits.blocked_share;
  }

  // Bracketing: the nearest counted shadow on each side, within reach.
  const auto reach = static_cast<std::ptrdiff_t>(limits.reach);
  std::vector<std::ptrdiff_t> left(cells);
  for (std::size_t f = 0; f < frames; ++f) {
    const std::uint8_t* shadow = &shadows[f * stride + first];
    std::ptrdiff_t last = -1000000;
    for (std::size_t i = 0; i < cells; ++i) {
      left[i] = last;
      if (shadow[i] && !suspect[i]) last = static_cast<std::ptrdiff_t>(i);
    }
    std::ptrdiff_t next = 1000000;
    for (std::size_t k = cells; k-- > 0;) {
      const auto i = static_cast<std::ptrdiff_t>(k);
      if (!suspect[k] && i - left[k] <= reach && next - i <= reach) {
        ++axis.cells[k].bracketed;
        axis.cells[k].shadowed_bracketed += shadow[k];
      }
      if (shadow[k] && !suspect[k]) next = i;
    }
  }

  for (std::size_t i = 0; i < cells; ++i) {
    BeamCell& cell = axis.cells[i];
    if (suspect[i]) {
      cell.verdict = BeamVerdict::kBlocked;
    } else if (enough && !suspect[i] && cell.bracketed >= limits.min_bracketed &&
               Share(cell.shadowed_bracketed, cell.bracketed) <= limits.dead_share) {
      cell.verdict = BeamVerdict::kDead;
    }
  }
}

std::string Indices(const BeamAxis& axis, BeamVerdict verdict) {
  std::string out;
  for (std::size_t i = 0; i < axis.cells.size(); ++i) {
    if (axis.cells[i].verdict != verdict) continue;
    if (!out.empty()) out += ',';
    out += std::to_string(i);
  }
  return "[" + out + "]";
}

std::string AxisJson(const BeamAxis& axis) {
  std::string shadowed;
  for (const BeamCell& cell : axis.cells)
    shadowed.append(shadowed.empty() ? "" : ",").append(std::to_string(cell.shadowed));
  return std::string("\"") + axis.name + "\":{\"shadowed\":[" + shadowed +
         "],\"blocked\":" + Indices(axis, BeamVerdict::kBlocked) +
         ",\"dead\":" + Indices(axis, BeamVerdict::kDead) + "}";
}

}  // namespace

const char* ToString(BeamVerdict verdict) {
  switch (verdict) {
    case BeamVerdict::kOk:
      return "ok";
    case BeamVerdict::kBlocked:
      return "blocked";
    case BeamVerdict::kDead:
      return "dead";
  }
  return "?";
}

void BeamCounter::Add(const RawCellFrame& frame) {
  if (frame.state == static_cast<std::uint8_t>(RawCellState::kUp)) return;
  const CellHeader& header = frame.header;
  const bool usable = header.cx >= 2 && header.cy >= 2 && header.cx + header.cy <= kMaxCellLevels;
  const bool same = frames_ == 0 || (header.cx == geometry_.cx && header.cy == geometry_.cy);
  if (!usable || !same) {
    ++skipped_;
    return;
  }
  if (frames_ == 0) geometry_ = header;
  const std::size_t count = std::size_t{header.cx} + header.cy;
  for (std::size_t i = 0; i < count; ++i)
    shadows_.push_back(i < frame.levels.size() && frame.levels[i] >= kTouchedLevel ? 1 : 0);
  ++frames_;
}

BeamReport BeamCounter::Report(const BeamThresholds& thresholds) const {
  BeamReport report;
  report.frames = frames_;
  report.skipped = skipped_;
  report.geometry = geometry_;
  report.thresholds = thresholds;
  report.x.cells.resize(geometry_.cx);
  report.y.cells.resize(geometry_.cy);
  const std::size_t stride = std::size_t{geometry_.cx} + geometry_.cy;
  CountAxis(shadows_, stride, 0, frames_, thresholds, report.x);
  CountAxis(shadows_, stride, geometry_.cx, frames_, thresholds, report.y);
  return report;
}

std::string BeamJson(const BeamReport& report) {
  return "{\"beams\":{\"frames\":" + std::to_string(report.frames) +
         ",\"skipped\":" + std::to_string(report.skipped) +
         ",\"cx\":" + std::to_string(report.geometry.cx) +
         ",\"cy\":" + std::to_string(report.geometry.cy) + "," + AxisJson(report.x) + "," +
         AxisJson(report.y) + "}}";
}

std::string BeamTable(const BeamReport& report) {
  const auto percent = [](std::uint32_t part, std::uint32_t whole) -> std::string {
    return whole == 0 ? "-" : Fixed(100.0 * Share(part, whole), 1) + " %";
  };
  std::string out = "axis  cell  shadowed  when-elsewhere  bracketed  when-bracketed  verdict\n";
  for (const BeamAxis* axis : {&report.x, &report.y}) {
    for (std::size_t i = 0; i < axis->cells.size(); ++i) {
      const BeamCell& cell = axis->cells[i];
      char row[160];
      std::snprintf(row, sizeof row, "%-4c  %4zu  %8s  %14s  %9u  %14s%s%s\n", axis->name, i,
                    percent(cell.shadowed, report.frames).c_str(),
                    percent(cell.shadowed_apart, cell.apart).c_str(), cell.bracketed,
                    percent(cell.shadowed_bracketed, cell.bracketed).c_str(),
                    cell.verdict == BeamVerdict::kOk ? "" : "  ",
                    cell.verdict == BeamVerdict::kOk ? "" : ToString(cell.verdict));
      out += row;
    }
  }
  const BeamThresholds& t = report.thresholds;
  if (report.frames < t.min_frames) {
    out += "only " + std::to_string(report.frames) + " touch frames (" +
           std::to_string(t.min_frames) + " needed): no cell judged\n";
    return out;
  }
  for (const BeamAxis* axis : {&report.x, &report.y}) {
    std::size_t unjudged = 0;
    for (const BeamCell& cell : axis->cells)
      unjudged += cell.apart < t.min_apart;
    if (unjudged == 0) continue;
    out += std::string(1, axis->name) + ": " + std::to_string(unjudged) +
           " cells saw shadow elsewhere in fewer than " + std::to_string(t.min_apart) +
           " frames: blocked cells not judged there (sweep a finger over the whole screen)\n";
  }
  if (report.skipped)
    out += std::to_string(report.skipped) + " frames of other cell counts skipped\n";
  return out;
}

std::string BeamStripSvg(const BeamReport& report) {
  const std::size_t widest =
      std::max<std::size_t>({report.x.cells.size(), report.y.cells.size(), std::size_t{1}});
  const int cell = static_cast<int>(std::clamp<std::size_t>(1200 / widest, 4, 16));
  const int left = 40;
  const int strip = 36;
  const int width = left + cell * static_cast<int>(widest) + 20;
  const int height = 40 + 2 * (strip + 34) + 40;
  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(width) +
                    "\" height=\"" + std::to_string(height) + "\" font-family=\"sans-serif\" " +
                    "font-size=\"11\">\n<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n" +
                    "<text x=\"" + std::to_string(left) + "\" y=\"20\" font-size=\"13\">" +
                    "Shadowed share of each cell over " + std::to_string(report.frames) +
                    " touch frames (black: every frame)</text>\n";
  int top = 40;
  for (const BeamAxis* axis : {&report.x, &report.y}) {
    svg += "<text x=\"8\" y=\"" + std::to_string(top + strip / 2 + 5) +
           "\" font-size=\"14\" font-weight=\"bold\">" +
           std::string(1, axis->name == 'x' ? 'X' : 'Y') + "</text>\n";
    for (std::size_t i = 0; i < axis->cells.size(); ++i) {
      const BeamCell& c = axis->cells[i];
      const int x = left + cell * static_cast<int>(i);
      const int grey = static_cast<int>(255.0 * (1.0 - Share(c.shadowed, report.frames)) + 0.5);
      const char* stroke = c.verdict == BeamVerdict::kBlocked ? "#d00000"
                           : c.verdict == BeamVerdict::kDead  ? "#0050d0"
                                                              : "#c0c0c0";
      const int stroke_width = c.verdict == BeamVerdict::kOk ? 1 : 2;
      svg += "<rect class=\"" + std::string(ToString(c.verdict)) + "\" x=\"" + std::to_string(x) +
             "\" y=\"" + std::to_string(top) + "\" width=\"" + std::to_string(cell) +
             "\" height=\"" + std::to_string(strip) + "\" fill=\"rgb(" + std::to_string(grey) +
             "," + std::to_string(grey) + "," + std::to_string(grey) + ")\" stroke=\"" + stroke +
             "\" stroke-width=\"" + std::to_string(stroke_width) + "\"><title>" + axis->name +
             std::to_string(i) + ": " + Fixed(100.0 * Share(c.shadowed, report.frames), 1) +
             " %</title></rect>\n";
      if (c.verdict != BeamVerdict::kOk) {
        svg += "<text x=\"" + std::to_string(x + cell / 2) + "\" y=\"" +
               std::to_string(top + strip + 12) +
               "\" text-anchor=\"middle\" font-weight=\"bold\" " + "fill=\"" + stroke + "\">" +
               (c.verdict == BeamVerdict::kBlocked ? "B" : "D") + "</text>\n";
      }
    }
    for (std::size_t i = 0; i < axis->cells.size(); i += 8) {
      svg += "<text x=\"" + std::to_string(left + cell * static_cast<int>(i) + cell / 2) +
             "\" y=\"" + std::to_string(top + strip + 26) + "\" text-anchor=\"middle\" " +
             "fill=\"#606060\">" + std::to_string(i) + "</text>\n";
    }
    top += strip + 34;
  }
  // The legend, one line per mark (no tspans: some renderers overlay them).
  const std::string blocked_text = "blocked: shadowed in " +
                                   Fixed(100.0 * report.thresholds.blocked_share, 0) +
                                   " % or more of the frames with shadow elsewhere";
  const std::pair<const char*, std::string> legend[] = {
      {"B", blocked_text}, {"D", "dead: never shadowed while the cells around it are"}};
  for (const auto& [mark, text] : legend) {
    const std::string y = std::to_string(top + 12);
    svg += "<text x=\"" + std::to_string(left) + "\" y=\"" + y + "\" font-weight=\"bold\" fill=\"" +
           (mark[0] == 'B' ? "#d00000" : "#0050d0") + "\">" + mark + "</text>\n<text x=\"" +
           std::to_string(left + 16) + "\" y=\"" + y + "\">" + text + "</text>\n";
    top += 16;
  }
  svg += "</svg>\n";
  return svg;
}

}  // namespace zorvik
