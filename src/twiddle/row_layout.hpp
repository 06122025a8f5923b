// Where the sections of a row table lie. Computed once, in baseline code, by the size function
// and the row writers alike, so that the writers never store beyond the size.
//
// A plan table (rc false) has up to four sections, each starting at a vector block (VL complex
// values) counted from element 0: the stage block (the column values of every stage but the last),
// the row block (the last stage, the row stage, laid out lane by lane) and, when the plan asks for
// them, the two blocks of Bluestein's algorithm for n points: the chirp block
// a[j] = w(j^2 mod 2n, 2n) and the filter block of the convolution length.
#pragma once

#include <cstdint>

namespace tov::fft::detail {

// Offsets in elements of T from element 0, counts in complex values.
struct RowLayout {
  std::int64_t stageElems;   // elements of the stage block
  std::int64_t length;       // running length entering the row stage
  std::int64_t radix;        // radix of the row stage (1 when there is none)
  std::int64_t rowStart;     // stageElems rounded up to a vector block
  std::int64_t groups;       // full lane groups: length / VL
  std::int64_t rows;         // remainder rows: length - groups * VL
  std::int64_t rowWidth;     // complex values per remainder row, padding included
  std::int64_t firstJ;       // 1 when radix mod VL = 1 (rows without w(0) and padding), else 0
  std::int64_t rowEnd;       // end of the row block
  bool chirp;                // the plan asks for the chirp and filter blocks
  std::int64_t points;       // n, the transform length of the chirp (0 when negative)
  std::int64_t convolution;  // length * radix, the filter length (0 when negative)
  std::int64_t chirpStart;   // the chirp block
  std::int64_t filterStart;  // the filter block
  std::int64_t end;          // the whole table, gaps included
};

// Layout of a plan table for kernels of `vl` complex lanes.
RowLayout planRowLayout(std::int64_t vl, std::int64_t length, int const* plan);

// Elements of the split table (rc true): 2 * (floor(length / 2) rounded up to vl), 0 when
// length < 2.
std::int64_t splitTableSize(std::int64_t vl, std::int64_t length);

}  // namespace tov::fft::detail
