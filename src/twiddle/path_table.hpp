// Every path of paths.hpp with the level it needs, for tests and benchmarks. The library itself
// reads none of this: the exported writers name their choice (dispatch.cpp), and no file built
// for one instruction set may include this, as it names the writers of every width.
#pragma once

#include <type_traits>

#include "tov/config.hpp"
#include "tov/fft/twiddle.hpp"
#include "twiddle/paths.hpp"

namespace tov::fft::detail {

struct TwiddlePath {
  const char* name;
  Architecture needs;  // the level detectArchitecture must report for the path to run
  bool reciprocal;
  void (*colFloat)(int const*, float*);
  void (*colDouble)(int const*, double*);
  void (*row2Double)(bool, long, int const*, double*);
  void (*row4Float)(bool, long, int const*, float*);
  void (*row4Double)(bool, long, int const*, double*);
  void (*row8Float)(bool, long, int const*, float*);
  void (*values)(const long*, const long*, long, bool, bool, double*, double*);
  void (*quotients)(double, const double*, long, double*, double*);
};

template <class V, bool kReciprocal>
constexpr TwiddlePath makePath(const char* name, Architecture needs) {
  using W = Writers<V, kReciprocal>;
  return {name,          needs,          kReciprocal,   &W::colFloat, &W::colDouble, &W::row2Double,
          &W::row4Float, &W::row4Double, &W::row8Float, &W::values,   &W::quotients};
}

inline constexpr TwiddlePath kTwiddlePaths[] = {
    makePath<avx2::Vec256, false>("256-bit", Architecture::avx2),
    makePath<avx2::Vec256, true>("256-bit reciprocal", Architecture::avx2),
    makePath<avx512::Vec512, false>("512-bit", Architecture::avx512),
    makePath<avx512::Vec512, true>("512-bit reciprocal", Architecture::avx512),
};

// The exported float and double writers, in the same form (they have no internal hooks).
inline constexpr TwiddlePath kExportedWriters = {"exported",
                                                 Architecture::avx2,
                                                 false,
                                                 &writeColTwidTable<float>,
                                                 &writeColTwidTable<double>,
                                                 &writeRowTwidTable<2, double>,
                                                 &writeRowTwidTable<4, float>,
                                                 &writeRowTwidTable<4, double>,
                                                 &writeRowTwidTable<8, float>,
                                                 nullptr,
                                                 nullptr};

// The writer of the table kind (VL, T) on `path`, VL 0 for the column table: the one place that
// says which member serves which kind. Paths hold float and double writers only.
template <long VL, typename T>
constexpr auto writerOf(const TwiddlePath& path) {
  constexpr bool kFloat = std::is_same_v<T, float>, kDouble = std::is_same_v<T, double>;
  if constexpr (VL == 0 && kFloat)
    return path.colFloat;
  else if constexpr (VL == 0 && kDouble)
    return path.colDouble;
  else if constexpr (VL == 2 && kDouble)
    return path.row2Double;
  else if constexpr (VL == 4 && kFloat)
    return path.row4Float;
  else if constexpr (VL == 4 && kDouble)
    return path.row4Double;
  else if constexpr (VL == 8 && kFloat)
    return path.row8Float;
  else
    static_assert(VL != VL, "no writer of this kind on a path");
}

}  // namespace tov::fft::detail
