// The _Float16 part of the AVX-512 FP16 writers: each double rounded once, directly, to
// binary16 (vcvtpd2ph keeps subnormal results), then real and imaginary parts interleaved.
// Include only from files built with the AVX-512 FP16 flags.
#pragma once

#include "tov/fft/twiddle.hpp"
#include "twiddle/fp_env.hpp"
#include "twiddle/twid_engine.hpp"

namespace tov::fft::detail::avx512fp16 {

template <>
struct Store<_Float16> {
  static void put(_Float16* out, Batch b) {
    const __m128i re = _mm_castph_si128(_mm256_cvtpd_ph(b.re));  // four halves, low 64 bits
    const __m128i im = _mm_castph_si128(_mm256_cvtpd_ph(b.im));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(re, im));
  }
};

}  // namespace tov::fft::detail::avx512fp16
