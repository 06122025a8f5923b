// Four doubles per register (AVX2 with FMA): the vector width that twid_engine.hpp evaluates
// twiddle values in on processors without AVX-512. Include only from files built with the AVX2
// flags, after defining TOV_TWIDDLE_ISA (see twid_engine.hpp).
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace tov::fft::detail::TOV_TWIDDLE_ISA {

struct Vec256 {
  using Reg = __m256d;
  using Mask = __m256d;  // each lane all ones (set) or all zeros
  static constexpr int kLanes = 4;
  static Reg all(double x) { return _mm256_set1_pd(x); }
  static Reg load(const double* p) { return _mm256_loadu_pd(p); }
  static void store(double* p, Reg x) { _mm256_storeu_pd(p, x); }
  // Integers below 2^53 in magnitude, exactly.
  static Reg fromInt64(const std::int64_t* k) {
    return _mm256_setr_pd(static_cast<double>(k[0]), static_cast<double>(k[1]),
                          static_cast<double>(k[2]), static_cast<double>(k[3]));
  }

  static Reg add(Reg a, Reg b) { return _mm256_add_pd(a, b); }
  static Reg sub(Reg a, Reg b) { return _mm256_sub_pd(a, b); }
  static Reg mul(Reg a, Reg b) { return _mm256_mul_pd(a, b); }
  static Reg div(Reg a, Reg b) { return _mm256_div_pd(a, b); }
  static Reg fma(Reg a, Reg b, Reg c) { return _mm256_fmadd_pd(a, b, c); }    // a*b + c
  static Reg fms(Reg a, Reg b, Reg c) { return _mm256_fmsub_pd(a, b, c); }    // a*b - c
  static Reg fnma(Reg a, Reg b, Reg c) { return _mm256_fnmadd_pd(a, b, c); }  // c - a*b

  static Reg floor(Reg a) { return _mm256_round_pd(a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }
  static Mask greater(Reg a, Reg b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
  // a - b and a + b in the lanes of m, a elsewhere. Subtracting or adding +0 instead changes no
  // bit of a (-0 - +0 is -0), so these equal the masked instructions of wider vectors.
  static Reg subWhere(Mask m, Reg a, Reg b) { return _mm256_sub_pd(a, _mm256_and_pd(m, b)); }
  static Reg addWhere(Mask m, Reg a, Reg b) { return _mm256_add_pd(a, _mm256_and_pd(m, b)); }
  // Quarter turns (twid_value.hpp): the table entry for each lane's count in its sign bit, and
  // the lanes whose count is odd (a sign bit is all that select reads of a mask).
  static Reg signsOf(Reg turns, const std::uint32_t (&table)[8]) {
    const __m256i entries = _mm256_load_si256(reinterpret_cast<const __m256i*>(table));
    return _mm256_castsi256_pd(_mm256_permutevar8x32_epi32(entries, _mm256_castpd_si256(turns)));
  }
  static Mask oddTurns(Reg turns) {
    return _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_castpd_si256(turns), 31));
  }
  static Reg flipSigns(Reg x, Reg signs) { return _mm256_xor_pd(x, signs); }
  // b in the lanes of m, a elsewhere (m's sign bits).
  static Reg select(Mask m, Reg a, Reg b) { return _mm256_blendv_pd(a, b, m); }
};

// Interleaved stores of the four complex values (re[i], im[i]) of a batch.
inline void storeComplex(Vec256, double* out, __m256d re, __m256d im) {
  const __m256d lo = _mm256_unpacklo_pd(re, im);  // r0 i0 r2 i2
  const __m256d hi = _mm256_unpackhi_pd(re, im);  // r1 i1 r3 i3
  _mm256_storeu_pd(out, _mm256_permute2f128_pd(lo, hi, 0x20));
  _mm256_storeu_pd(out + 4, _mm256_permute2f128_pd(lo, hi, 0x31));
}

inline void storeComplex(Vec256, float* out, __m256d re, __m256d im) {
  const __m128 r = _mm256_cvtpd_ps(re);
  const __m128 i = _mm256_cvtpd_ps(im);
  _mm_storeu_ps(out, _mm_unpacklo_ps(r, i));
  _mm_storeu_ps(out + 4, _mm_unpackhi_ps(r, i));
}

}  // namespace tov::fft::detail::TOV_TWIDDLE_ISA
