// Eight doubles per register (AVX-512 F, DQ and VL): the vector width that twid_engine.hpp
// evaluates twiddle values in where the processor has AVX-512. Include only from files built
// with the AVX-512 flags, after defining TOV_TWIDDLE_ISA (see twid_engine.hpp).
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace tov::fft::detail::TOV_TWIDDLE_ISA {

struct Vec512 {
  using Reg = __m512d;
  using Mask = __mmask8;  // bit i for lane i
  static constexpr int kLanes = 8;
  static Reg all(double x) { return _mm512_set1_pd(x); }
  static Reg load(const double* p) { return _mm512_loadu_pd(p); }
  static void store(double* p, Reg x) { _mm512_storeu_pd(p, x); }
  // Integers below 2^53 in magnitude, exactly.
  static Reg fromInt64(const std::int64_t* k) {
    return _mm512_cvtepi64_pd(_mm512_loadu_si512(static_cast<const void*>(k)));
  }

  static Reg add(Reg a, Reg b) { return _mm512_add_pd(a, b); }
  static Reg sub(Reg a, Reg b) { return _mm512_sub_pd(a, b); }
  static Reg mul(Reg a, Reg b) { return _mm512_mul_pd(a, b); }
  static Reg div(Reg a, Reg b) { return _mm512_div_pd(a, b); }
  static Reg fma(Reg a, Reg b, Reg c) { return _mm512_fmadd_pd(a, b, c); }    // a*b + c
  static Reg fms(Reg a, Reg b, Reg c) { return _mm512_fmsub_pd(a, b, c); }    // a*b - c
  static Reg fnma(Reg a, Reg b, Reg c) { return _mm512_fnmadd_pd(a, b, c); }  // c - a*b

  // Zero-masking forms with every lane selected here and below: g++ 12 warns that the plain
  // forms' undefined sources are uninitialized.
  static Reg floor(Reg a) {
    return _mm512_maskz_roundscale_pd(0xFF, a, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  }
  static Mask greater(Reg a, Reg b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
  static Reg subWhere(Mask m, Reg a, Reg b) { return _mm512_mask_sub_pd(a, m, a, b); }
  static Reg addWhere(Mask m, Reg a, Reg b) { return _mm512_mask_add_pd(a, m, a, b); }
  // Quarter turns (twid_value.hpp): the table entry for each lane's count in its sign bit, and
  // the lanes whose count is odd.
  static Reg signsOf(Reg turns, const std::uint32_t (&table)[8]) {
    const __m512i entries = _mm512_maskz_broadcast_i64x4(
        0xFF, _mm256_load_si256(reinterpret_cast<const __m256i*>(table)));
    return _mm512_castsi512_pd(
        _mm512_maskz_permutexvar_epi32(0xFFFF, _mm512_castpd_si512(turns), entries));
  }
  static Mask oddTurns(Reg turns) {
    return _mm512_test_epi64_mask(_mm512_castpd_si512(turns),
                                  _mm512_set1_epi64(std::int64_t{1} << 32));
  }
  static Reg flipSigns(Reg x, Reg signs) { return _mm512_xor_pd(x, signs); }
  static Reg select(Mask m, Reg a, Reg b) { return _mm512_mask_blend_pd(m, a, b); }
};

// Interleaved stores of the eight complex values (re[i], im[i]) of a batch: two-source permutes
// pick the parts alternately from the two registers.
inline void storeComplex(Vec512, double* out, __m512d re, __m512d im) {
  const __m512i first = _mm512_setr_epi64(0, 8, 1, 9, 2, 10, 3, 11);
  const __m512i second = _mm512_setr_epi64(4, 12, 5, 13, 6, 14, 7, 15);
  _mm512_storeu_pd(out, _mm512_permutex2var_pd(re, first, im));
  _mm512_storeu_pd(out + 8, _mm512_permutex2var_pd(re, second, im));
}

inline void storeComplex(Vec512, float* out, __m512d re, __m512d im) {
  const __m512i order = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
  // The zero-masking conversion: g++ 12 warns that the plain one's undefined source of the
  // masked-off lanes is uninitialized. The upper halves after the casts are never selected.
  const __m512 r = _mm512_castps256_ps512(_mm512_maskz_cvtpd_ps(0xFF, re));
  const __m512 i = _mm512_castps256_ps512(_mm512_maskz_cvtpd_ps(0xFF, im));
  _mm512_storeu_ps(out, _mm512_permutex2var_ps(r, order, i));
}

}  // namespace tov::fft::detail::TOV_TWIDDLE_ISA
