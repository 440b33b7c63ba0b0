// The multi-touch candidate grid.
#include "usbsvc/candidate_grid.h"

#include <algorithm>

namespace zorvik {

void CandidateGrid::Clear() {
  frame_status = candidate_count = rows = cols = 0;
  for (std::size_t r = 0; r < used_rows; ++r) {
    std::fill_n(records[r].begin(), used_cols, TouchRecord{});
  }
  used_rows = used_cols = 0;
}

void CandidateGrid::CopyFrom(const CandidateGrid& other) {
  Clear();
  frame_status = other.frame_status;
  candidate_count = other.candidate_count;
  rows = other.rows;
  cols = other.cols;
  for (std::size_t r = 0; r < other.used_rows; ++r) {
    std::copy_n(other.records[r].begin(), other.used_cols, records[r].begin());
  }
  used_rows = other.used_rows;
  used_cols = other.used_cols;
}

}  // namespace zorvik
