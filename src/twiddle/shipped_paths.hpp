// Which paths of paths.hpp the shared library ships: the division each exported float and double
// writer takes in each vector width. This is the one place that decides it. dispatch.cpp resolves
// the exported writers to these paths, twiddle_avx2.cpp and twiddle_avx512*.cpp build them into
// the library, and test_paths_avx2.cpp and test_paths_avx512*.cpp build the other halves and the
// test hooks into tov_test_only_obj, which only the tests and benchmarks link.
#pragma once

namespace tov::fft::detail {

struct ShippedDivision {
  bool floatReciprocal;   // colFloat, row4Float, row8Float
  bool doubleReciprocal;  // colDouble, row2Double, row4Double
};

// Measured on the 2^20-point radix-4 column plan (docs/performance.md), on this Zen 5, whose
// divider takes a 512-bit division every 3.7 cycles: in 512-bit vectors the reciprocal is 2 to
// 3 % faster for double tables and 4 % slower for float ones; in 256-bit vectors the two are
// within the run-to-run noise. The double tables take the reciprocal also because their two
// divisions per value would bound the speed on processors whose divider is slower than this one's.
inline constexpr ShippedDivision kShipped256{false, false};
inline constexpr ShippedDivision kShipped512{false, true};

}  // namespace tov::fft::detail
