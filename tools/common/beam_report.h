// Beam health from the raw cell levels of many frames: how often each X and Y cell is shadowed
// while someone touches the screen, which cells look blocked (shadowed whatever the fingers do:
// a blocked beam, dirt on the bezel) and which look dead (never shadowed while the cells around
// them are: a dead emitter or receiver). touchctl's `beams` command feeds it live or from a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/common/section_json.h"

namespace zorvik {

// Chosen on simulated captures of a 64 × 48 sensor with fingers 3 to 5 cells wide (sweeps,
// taps, scribbles, two fingers moving apart, a finger held still, a finger resting and then
// sweeping): while shadow lay elsewhere on its axis, a clean cell was shadowed in at most 23 % of
// those frames, a blocked one in all of them and a dirty one dark in nine frames of ten in 88 to
// 92 %. A live inner cell was shadowed in every frame with shadow within two cells on both sides
// of it, a dead one in none.
struct BeamThresholds {
  std::uint32_t min_frames = 50;  // fewer touch frames give no verdict at all
  // Blocked: among the frames with shadow elsewhere on the axis (not joined to the cell's own
  // run of shadowed cells), at least `min_apart` of them, the cell is shadowed in at least
  // `blocked_share`. A finger held still has no such frames, so it is never taken for a
  // blocked beam; a beam blocked while the fingers are elsewhere is.
  std::uint32_t min_apart = 20;
  double blocked_share = 0.80;
  // Dead: a free run of at most `reach` cells with shadow on both sides is bracketed; a cell
  // bracketed in at least `min_bracketed` frames and shadowed in at most `dead_share` of them
  // is dead. Shadow of cells judged blocked brackets nothing (a finger stopping next to a
  // blocked beam leaves a free cell between them). Edge cells are never bracketed, so they are
  // not judged dead.
  std::size_t reach = 2;
  std::uint32_t min_bracketed = 10;
  double dead_share = 0.05;
};

enum class BeamVerdict { kOk, kBlocked, kDead };
const char* ToString(BeamVerdict verdict);

struct BeamCell {
  std::uint32_t shadowed = 0;  // touch frames in which the cell is shadowed
  std::uint32_t apart = 0;     // frames with shadow elsewhere on the axis
  std::uint32_t shadowed_apart = 0;
  std::uint32_t bracketed = 0;  // frames with shadow within reach on both sides
  std::uint32_t shadowed_bracketed = 0;
  BeamVerdict verdict = BeamVerdict::kOk;
};

struct BeamAxis {
  char name = 'x';
  std::vector<BeamCell> cells;
};

struct BeamReport {
  std::uint32_t frames = 0;   // touch frames counted
  std::uint32_t skipped = 0;  // frames of another geometry, or unusable cell counts
  CellHeader geometry;
  BeamAxis x{'x', {}};
  BeamAxis y{'y', {}};
  BeamThresholds thresholds;
};

// Collects the frames' shadow patterns; the report is made at the end, in two passes, because
// which cells look blocked decides what brackets a cell.
class BeamCounter {
 public:
  // Counts a frame of a touch (state not up). The first counted frame fixes CX and CY; frames
  // with other counts, fewer than two cells on an axis or more than 1024 levels are skipped.
  // Levels beyond the frame's n read as free, as the service reads them.
  void Add(const RawCellFrame& frame);
  std::uint32_t frames() const { return frames_; }
  BeamReport Report(const BeamThresholds& thresholds = {}) const;

 private:
  CellHeader geometry_;
  std::uint32_t frames_ = 0;
  std::uint32_t skipped_ = 0;
  std::vector<std::uint8_t> shadows_;  // CX + CY bytes per counted frame, 1 = shadowed
};

// {"beams":{"frames":..,"skipped":..,"cx":..,"cy":..,"x":{"shadowed":[..],"blocked":[..],
// "dead":[..]},"y":{..}}}
std::string BeamJson(const BeamReport& report);
// One row per cell: axis, cell, shadowed share, share shadowed while shadow lay elsewhere,
// bracketed frames and the share shadowed in them, verdict; then what could not be judged.
std::string BeamTable(const BeamReport& report);
// Two strips, X cells above Y cells, each cell shaded by its shadowed share, blocked cells
// framed red and marked B, dead ones framed blue and marked D.
std::string BeamStripSvg(const BeamReport& report);

}  // namespace zorvik
