// Where the sections of a row table lie. Computed once, in baseline code, by the size
// function and the row writers alike, so that the writers never store beyond the size.
#pragma once

#include <cstdint>

namespace tov::fft::detail {

// Offsets in elements of T from element 0, counts in complex values.
struct RowLayout {
  std::int64_t stageElems;   // E: elements of the stage block
  std::int64_t length;       // L: running length entering the row stage
  std::int64_t radix;        // r: radix of the row stage (1 when there is none)
  std::int64_t rowStart;     // E rounded up to a vector block
  std::int64_t groups;       // G: full lane groups
  std::int64_t rows;         // R: remainder rows
  std::int64_t rowWidth;     // W(r): complex values per remainder row
  std::int64_t firstJ;       // 1 when r mod VL = 1 (rows without w(0) and padding), else 0
  std::int64_t rowEnd;       // end of the row block
  bool chirp;                // the plan asks for the chirp blocks
  std::int64_t points;       // n: chirp length (0 when negative)
  std::int64_t convolution;  // M: convolution length (0 when negative)
  std::int64_t chirpStart;   // block a
  std::int64_t filterStart;  // block b
  std::int64_t end;          // the whole table, gaps included
};

// Layout of a plan table (rc false) for kernels of `vl` complex lanes.
RowLayout planRowLayout(std::int64_t vl, std::int64_t length, int const* plan);

// Elements of the split table (rc true): 2 * (floor(length / 2) rounded up to vl), 0 when
// length < 2.
std::int64_t splitTableSize(std::int64_t vl, std::int64_t length);

}  // namespace tov::fft::detail
