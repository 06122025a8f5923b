// Column tables in float and double, and the value evaluation hook, for AVX2 with FMA.
#define TOV_TWIDDLE_ISA avx2
#include "tov/fft/twiddle.hpp"
#include "twiddle/fp_env.hpp"
#include "twiddle/twid_engine.hpp"
#include "twiddle/twid_value.hpp"

namespace tov::fft {

namespace detail::avx2 {

namespace {

template <bool kDouble, bool kConjugate>
void evaluate(const long* k, const long* n, long count, double* re, double* im) {
  for (long i = 0; i < count; i += 4) {
    std::int64_t ks[4], ns[4];
    bool vector = true;
    for (long lane = 0; lane < 4; ++lane) {
      // Lanes past the end repeat the last value.
      const long at = i + lane < count ? i + lane : count - 1;
      ks[lane] = k[at];
      ns[lane] = n[at];
      vector = vector && ns[lane] > 0 && ns[lane] < kVectorLimit;
    }
    Batch b;
    if (vector) {
      const __m256d kd =
          _mm256_setr_pd(static_cast<double>(8 * ks[0]), static_cast<double>(8 * ks[1]),
                         static_cast<double>(8 * ks[2]), static_cast<double>(8 * ks[3]));
      const __m256d nd = _mm256_setr_pd(static_cast<double>(ns[0]), static_cast<double>(ns[1]),
                                        static_cast<double>(ns[2]), static_cast<double>(ns[3]));
      b = twidValue<kDouble, kConjugate>(kd, makeModulus(nd));  // kd holds 8k
    } else {
      b = twidValueExact<kDouble, kConjugate>(ks, ns);
    }
    alignas(32) double r[4], m[4];
    _mm256_store_pd(r, b.re);
    _mm256_store_pd(m, b.im);
    for (long lane = 0; lane < 4 && i + lane < count; ++lane) {
      re[i + lane] = r[lane];
      im[i + lane] = m[lane];
    }
  }
}

}  // namespace

void twidValues(const long* k, const long* n, long count, bool doubleGrade, bool conjugate,
                double* re, double* im) {
  if (doubleGrade) {
    conjugate ? evaluate<true, true>(k, n, count, re, im)
              : evaluate<true, false>(k, n, count, re, im);
  } else {
    conjugate ? evaluate<false, true>(k, n, count, re, im)
              : evaluate<false, false>(k, n, count, re, im);
  }
}

}  // namespace detail::avx2

template <>
void writeColTwidTable<float>(int const* plan, float* table) {
  detail::MxcsrGuard guard;
  detail::avx2::writeColTable(plan, table);
}

template <>
void writeColTwidTable<double>(int const* plan, double* table) {
  detail::MxcsrGuard guard;
  detail::avx2::writeColTable(plan, table);
}

}  // namespace tov::fft
