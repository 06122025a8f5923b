// Every path of paths.hpp with the level it needs, for tests and benchmarks. The library itself
// reads none of this: the exported writers name their choice (dispatch.cpp), and no file built
// for one instruction set may include this, as it names the writers of every width.
#pragma once

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

}  // namespace tov::fft::detail
