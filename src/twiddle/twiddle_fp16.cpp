// The _Float16 writers, for AVX-512 with FP16: the 512-bit evaluation of the float and double
// writers, each value rounded once, directly, from double to binary16 (vcvtpd2ph keeps subnormal
// results), and the filter block of the chirp divided in half precision (vdivsh).
#define TOV_TWIDDLE_ISA avx512fp16
#include "twiddle/vec512.hpp"

namespace tov::fft::detail::avx512fp16 {

inline void storeComplex(Vec512, _Float16* out, __m512d re, __m512d im) {
  const __m128i r = _mm_castph_si128(_mm512_cvtpd_ph(re));
  const __m128i i = _mm_castph_si128(_mm512_cvtpd_ph(im));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(r, i));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi16(r, i));
}

}  // namespace tov::fft::detail::avx512fp16

#include "tov/fft/twiddle.hpp"
#include "twiddle/fp_env.hpp"
#include "twiddle/row_engine.hpp"

namespace tov::fft {

namespace {
// _Float16 tables take the plain polynomial; as for float, plain division (see shipped_paths.hpp).
constexpr bool kReciprocal = false;
using detail::avx512fp16::Vec512;
}  // namespace

template <>
void writeColTwidTable<_Float16>(int const* plan, _Float16* table) {
  detail::MxcsrGuard guard;
  detail::avx512fp16::writeColTable<Vec512, kReciprocal>(plan, table);
}

template <>
void writeRowTwidTable<16, _Float16>(bool rc, long length, int const* plan, _Float16* table) {
  detail::MxcsrGuard guard;
  detail::avx512fp16::writeRowTable<Vec512, kReciprocal, 16>(rc, length, plan, table);
}

}  // namespace tov::fft
