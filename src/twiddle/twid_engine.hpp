// Vector evaluation of twiddle values and the stage walk, compiled once per instruction set.
//
// Include this header only from a file built with the AVX2 (or AVX-512 FP16) flags, after
// defining TOV_TWIDDLE_ISA to the namespace of that instruction set (avx2 or avx512fp16).
// Everything here is inline: a copy compiled with AVX-512 flags must never be merged with the
// AVX2 copy by the linker, so each instruction set gets its own namespace. No standard-library
// functions are used for the same reason (their inline copies are shared with baseline code).
//
// Layout of a batch: four twiddle values side by side, the cosine lanes of the four in one
// 256-bit vector and the sine lanes in another. Each value goes through exactly the operations
// of its own scalar evaluation, so batching changes no bit of any value.
#pragma once

#ifndef TOV_TWIDDLE_ISA
#error "define TOV_TWIDDLE_ISA to the namespace of the instruction set before including"
#endif

#include <immintrin.h>

#include <cstdint>

#include "twiddle/twid_constants.hpp"

namespace tov::fft::detail::TOV_TWIDDLE_ISA {

// Above this transform length the reduction is done in 64-bit integers, one value at a time;
// below it every integer of the reduction (up to 8N) is exact in a double, and the vector
// reduction below runs on doubles.
inline constexpr std::int64_t kVectorLimit = std::int64_t{1} << 50;

// The multiples of N that the octant reduction compares and subtracts, all exact.
struct Modulus {
  __m256d n, n2, n3, n4, n7, n8;
};

inline Modulus makeModulus(__m256d n) {
  return {n,
          _mm256_mul_pd(n, _mm256_set1_pd(2.0)),
          _mm256_mul_pd(n, _mm256_set1_pd(3.0)),
          _mm256_mul_pd(n, _mm256_set1_pd(4.0)),
          _mm256_mul_pd(n, _mm256_set1_pd(7.0)),
          _mm256_mul_pd(n, _mm256_set1_pd(8.0))};
}

struct Batch {
  __m256d re, im;
};

inline __m256d fma(__m256d a, __m256d b, __m256d c) { return _mm256_fmadd_pd(a, b, c); }
inline __m256d mul(__m256d a, __m256d b) { return _mm256_mul_pd(a, b); }
inline __m256d all(double x) { return _mm256_set1_pd(x); }

// cos(pi*t/4) and sin(pi*t/4), single grade:
//   A = fma(z, c6, c5); B = fma(z, c4, c3); C = fma(z2, A, B); D = fma(z, c1, c0);
//   E = fma(z, C, c2); result = fma(P*z2, E, P*D), P = 1 (cos) or t (sin).
// In the cosine lane P*z2 and P*D are products with 1, exact, and left out.
template <const double (&c)[7]>
inline __m256d singleLane(__m256d z, __m256d z2, __m256d& d) {
  const __m256d a = fma(z, all(c[6]), all(c[5]));
  const __m256d b = fma(z, all(c[4]), all(c[3]));
  const __m256d cc = fma(z2, a, b);
  d = fma(z, all(c[1]), all(c[0]));
  return fma(z, cc, all(c[2]));
}

inline void singleGrade(__m256d t, __m256d z, __m256d z2, __m256d& cosine, __m256d& sine) {
  __m256d dc, ds;
  const __m256d ec = singleLane<kSingleCos>(z, z2, dc);
  const __m256d es = singleLane<kSingleSin>(z, z2, ds);
  cosine = fma(z2, ec, dc);
  sine = fma(mul(t, z2), es, mul(t, ds));
}

// Q = fma(z, fma(z, fma(z, fma(z, fma(z, C7, C6), C5), C4), C3), C2)
inline __m256d doubleTail(const DoubleGradeLane& lane, __m256d z) {
  __m256d q = fma(z, all(lane.c[7]), all(lane.c[6]));
  q = fma(z, q, all(lane.c[5]));
  q = fma(z, q, all(lane.c[4]));
  q = fma(z, q, all(lane.c[3]));
  return fma(z, q, all(lane.c[2]));
}

// Double grade. With e the part of u/N that t lost and s the rounding error of z:
//   D = fma(z, A1, A0); G = fma(e, P'*D, P*(C1*s)); H = fma(z, C1, C0);
//   R = fma(M, T, fma(z, C1, -(H - C0))); Q as above;
//   result = fma(P, H, fma(P*z2, Q, fma(P, R, G)))
// with P = 1, P' = t, M = z in the cosine lane and P = t, P' = 1, M = 1 in the sine lane.
// Bit-identical rewrites: fma(a, b, -c) is fmsub(a, b, c) and fma(-a, b, c) is fnmadd(a, b, c)
// (negation is exact), and fma(1, a, b) is a + b (the product is exact, one rounding either way).
inline void doubleGrade(__m256d ud, __m256d nd, __m256d t, __m256d z, __m256d z2, __m256d& cosine,
                        __m256d& sine) {
  const __m256d e = _mm256_div_pd(_mm256_fnmadd_pd(t, nd, ud), nd);
  const __m256d s = _mm256_fmsub_pd(t, t, z);
  {
    const DoubleGradeLane& l = kDoubleCos;
    const __m256d d = fma(z, all(l.slope1), all(l.slope0));
    const __m256d g = fma(e, mul(t, d), mul(all(l.c[1]), s));
    const __m256d h = fma(z, all(l.c[1]), all(l.c[0]));
    const __m256d hHigh = _mm256_sub_pd(h, all(l.c[0]));
    const __m256d r = fma(z, all(l.tail), _mm256_fmsub_pd(z, all(l.c[1]), hHigh));
    const __m256d q = doubleTail(l, z);
    cosine = _mm256_add_pd(h, fma(z2, q, _mm256_add_pd(r, g)));
  }
  {
    const DoubleGradeLane& l = kDoubleSin;
    const __m256d d = fma(z, all(l.slope1), all(l.slope0));
    const __m256d g = fma(e, d, mul(t, mul(all(l.c[1]), s)));
    const __m256d h = fma(z, all(l.c[1]), all(l.c[0]));
    const __m256d hHigh = _mm256_sub_pd(h, all(l.c[0]));
    const __m256d r = _mm256_add_pd(all(l.tail), _mm256_fmsub_pd(z, all(l.c[1]), hHigh));
    const __m256d q = doubleTail(l, z);
    sine = fma(t, h, fma(mul(t, z2), q, fma(t, r, g)));
  }
}

// The value of the reduced angle (u/N)*(pi/4) + h*pi + q*pi/2, where h and q are all-ones
// masks. The octant fix-up XORs a sign pair from the table {0, 0, S, S, 0, 0} (S the sign bit)
// at word 2h + q (plain form) or 2h + q + 1 (conjugate form) into (cos, sin) and swaps the two
// when q is set. Read off the windows: the cosine sign is h (plain) or h ^ q (conjugate), the
// sine sign is h ^ q (plain) or !h (conjugate).
template <bool kDoubleGrade, bool kConjugate>
inline Batch octantValue(__m256d ud, __m256d nd, __m256d h, __m256d q) {
  const __m256d t = _mm256_div_pd(ud, nd);
  const __m256d z = mul(t, t);
  const __m256d z2 = mul(z, z);
  __m256d cosine, sine;
  if constexpr (kDoubleGrade) {
    doubleGrade(ud, nd, t, z, z2, cosine, sine);
  } else {
    singleGrade(t, z, z2, cosine, sine);
  }
  const __m256d sign = all(-0.0);
  const __m256d hq = _mm256_xor_pd(h, q);
  if constexpr (kConjugate) {
    cosine = _mm256_xor_pd(cosine, _mm256_and_pd(hq, sign));
    sine = _mm256_xor_pd(sine, _mm256_andnot_pd(h, sign));
  } else {
    cosine = _mm256_xor_pd(cosine, _mm256_and_pd(h, sign));
    sine = _mm256_xor_pd(sine, _mm256_and_pd(hq, sign));
  }
  return {_mm256_blendv_pd(cosine, sine, q), _mm256_blendv_pd(sine, cosine, q)};
}

// twidValue for four (k, N) pairs at once, each lane exactly as the scalar evaluation. The
// octant reduction on exact doubles (k < N < kVectorLimit), given u = 8k: u > 7N: u -= 8N;
// u > 3N: u -= 4N, h = 1; u > N: u -= 2N, q = 1. Leaves -N < u <= N.
template <bool kDoubleGrade, bool kConjugate>
inline Batch twidValue(__m256d u, const Modulus& m) {
  const __m256d wrap = _mm256_cmp_pd(u, m.n7, _CMP_GT_OQ);
  u = _mm256_sub_pd(u, _mm256_and_pd(wrap, m.n8));
  const __m256d h = _mm256_cmp_pd(u, m.n3, _CMP_GT_OQ);
  u = _mm256_sub_pd(u, _mm256_and_pd(h, m.n4));
  const __m256d q = _mm256_cmp_pd(u, m.n, _CMP_GT_OQ);
  u = _mm256_sub_pd(u, _mm256_and_pd(q, m.n2));
  return octantValue<kDoubleGrade, kConjugate>(u, m.n, h, q);
}

// The same reduction in 64-bit integers for any (k, N), one lane at a time. Wrapping unsigned
// arithmetic keeps plans outside the format free of undefined behaviour.
template <bool kDoubleGrade, bool kConjugate>
inline Batch twidValueExact(const std::int64_t (&k)[4], const std::int64_t (&n)[4]) {
  alignas(32) double ud[4], nd[4], h[4], q[4];
  const double allOnes = __builtin_bit_cast(double, ~std::uint64_t{0});
  for (int i = 0; i < 4; ++i) {
    const std::uint64_t un = static_cast<std::uint64_t>(n[i]);
    std::int64_t u = static_cast<std::int64_t>(static_cast<std::uint64_t>(k[i]) * 8u);
    if (u > static_cast<std::int64_t>(un * 7u)) u = static_cast<std::int64_t>(u - un * 8u);
    const bool half = u > static_cast<std::int64_t>(un * 3u);
    if (half) u = static_cast<std::int64_t>(u - un * 4u);
    const bool quarter = u > n[i];
    if (quarter) u = static_cast<std::int64_t>(u - un * 2u);
    ud[i] = static_cast<double>(u);
    nd[i] = static_cast<double>(n[i]);
    h[i] = half ? allOnes : 0.0;
    q[i] = quarter ? allOnes : 0.0;
  }
  return octantValue<kDoubleGrade, kConjugate>(_mm256_load_pd(ud), _mm256_load_pd(nd),
                                               _mm256_load_pd(h), _mm256_load_pd(q));
}

// Conversion and interleaved store of a batch: Store<T>::put writes four complex values
// (eight elements of T). The _Float16 store lives in the AVX-512 FP16 file.
template <typename T>
struct Store;

template <>
struct Store<double> {
  static void put(double* out, Batch b) {
    const __m256d lo = _mm256_unpacklo_pd(b.re, b.im);  // r0 i0 r2 i2
    const __m256d hi = _mm256_unpackhi_pd(b.re, b.im);  // r1 i1 r3 i3
    _mm256_storeu_pd(out, _mm256_permute2f128_pd(lo, hi, 0x20));
    _mm256_storeu_pd(out + 4, _mm256_permute2f128_pd(lo, hi, 0x31));
  }
};

template <>
struct Store<float> {
  static void put(float* out, Batch b) {
    const __m128 re = _mm256_cvtpd_ps(b.re);
    const __m128 im = _mm256_cvtpd_ps(b.im);
    _mm_storeu_ps(out, _mm_unpacklo_ps(re, im));
    _mm_storeu_ps(out + 4, _mm_unpackhi_ps(re, im));
  }
};

// Stores the first `count` (0 to 4) complex values of a batch.
template <typename T>
inline void putPartial(T* out, Batch b, long count) {
  T buffer[8];
  Store<T>::put(buffer, b);
  __builtin_memcpy(out, buffer, static_cast<unsigned long>(count) * 2 * sizeof(T));
}

template <typename T>
inline constexpr bool kDoubleGradeFor = false;
template <>
inline constexpr bool kDoubleGradeFor<double> = true;

// Writes values w(k, N) for one N in plain or conjugate form. A generator gives the indices
// four at a time: vector() as 8k in exact doubles, scalar(k) as integers (used when N is out
// of the vector range). Positions past `count` are evaluated and dropped, so a generator may
// give any index there.
template <typename T, bool kConjugate>
class ValueWriter {
 public:
  explicit ValueWriter(std::int64_t n)
      : n_(n),
        vector_(n > 0 && n < kVectorLimit),
        modulus_(makeModulus(_mm256_set1_pd(static_cast<double>(n)))) {}

  template <typename Gen>
  T* write(T* out, std::int64_t count, Gen&& gen) const {
    constexpr bool dbl = kDoubleGradeFor<T>;
    if (vector_) {
      // In the single grade, two batches per step give the scheduler independent work across
      // the division latency; the double grade needs every register for one batch (measured
      // on AMD Zen: the single grade about 6% faster, the double grade 3% slower).
      if constexpr (!dbl) {
        for (; count >= 8; count -= 8, out += 16) {
          const __m256d u0 = gen.vector();
          const __m256d u1 = gen.vector();
          const Batch b0 = twidValue<dbl, kConjugate>(u0, modulus_);
          const Batch b1 = twidValue<dbl, kConjugate>(u1, modulus_);
          Store<T>::put(out, b0);
          Store<T>::put(out + 8, b1);
        }
      }
      for (; count >= 4; count -= 4, out += 8) {
        Store<T>::put(out, twidValue<dbl, kConjugate>(gen.vector(), modulus_));
      }
      if (count > 0) {
        putPartial(out, twidValue<dbl, kConjugate>(gen.vector(), modulus_), count);
        out += 2 * count;
      }
      return out;
    }
    const std::int64_t ns[4] = {n_, n_, n_, n_};
    for (; count > 0; count -= 4) {
      std::int64_t ks[4];
      gen.scalar(ks);
      const Batch b = twidValueExact<dbl, kConjugate>(ks, ns);
      if (count >= 4) {
        Store<T>::put(out, b);
        out += 8;
      } else {
        putPartial(out, b, count);
        out += 2 * count;
      }
    }
    return out;
  }

 private:
  std::int64_t n_;
  bool vector_;
  Modulus modulus_;
};

template <typename T, bool kConjugate, typename Gen>
inline T* writeBatches(T* out, std::int64_t count, std::int64_t n, Gen&& gen) {
  return ValueWriter<T, kConjugate>(n).write(out, count, gen);
}

inline std::int64_t wrapMul(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b));
}

inline std::int64_t wrapAdd(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

// Indices start, start + step, start + 2*step, ...
class Progression {
 public:
  Progression(std::int64_t start, std::int64_t step) : start_(start), step_(step) {
    const double s = 8.0 * static_cast<double>(step);
    u_ = _mm256_add_pd(_mm256_set1_pd(8.0 * static_cast<double>(start)),
                       _mm256_mul_pd(_mm256_set1_pd(s), _mm256_setr_pd(0.0, 1.0, 2.0, 3.0)));
    stride_ = _mm256_set1_pd(4.0 * s);
  }
  __m256d vector() {
    const __m256d u = u_;
    u_ = _mm256_add_pd(u_, stride_);
    return u;
  }
  void scalar(std::int64_t (&k)[4]) {
    for (int i = 0; i < 4; ++i) {
      k[i] = start_;
      start_ = wrapAdd(start_, step_);
    }
  }

 private:
  std::int64_t start_, step_;
  __m256d u_, stride_;
};

// Indices k = j*m of one column stage, j = 1 ... L-1 (outer), m = 1 ... r-1 (inner), four
// positions at a time. Kept as exact doubles (j scaled by 8) in the vector path and as
// integers in the other.
class StageIndices {
 public:
  explicit StageIndices(std::int64_t r) : width_(r - 1) {
    // Positions 0 to 3: j = 1 + p / width, m = 1 + p % width.
    alignas(32) double j[4], m[4];
    for (std::int64_t p = 0; p < 4; ++p) {
      j[p] = static_cast<double>(8 * (1 + p / width_));
      m[p] = static_cast<double>(1 + p % width_);
    }
    j_ = _mm256_load_pd(j);
    m_ = _mm256_load_pd(m);
    rows_ = _mm256_set1_pd(static_cast<double>(8 * (4 / width_)));
    cols_ = _mm256_set1_pd(static_cast<double>(4 % width_));
    widthD_ = _mm256_set1_pd(static_cast<double>(width_));
    sj_ = 1;
    sm_ = 1;
  }

  __m256d vector() {
    const __m256d k = _mm256_mul_pd(j_, m_);
    // Advance four positions: 4 = rows*width + cols, then at most one more row wrap.
    m_ = _mm256_add_pd(m_, cols_);
    j_ = _mm256_add_pd(j_, rows_);
    const __m256d wrap = _mm256_cmp_pd(m_, widthD_, _CMP_GT_OQ);
    m_ = _mm256_sub_pd(m_, _mm256_and_pd(wrap, widthD_));
    j_ = _mm256_add_pd(j_, _mm256_and_pd(wrap, _mm256_set1_pd(8.0)));
    return k;
  }

  void scalar(std::int64_t (&k)[4]) {
    for (int i = 0; i < 4; ++i) {
      k[i] = static_cast<std::int64_t>(static_cast<std::uint64_t>(sj_) *
                                       static_cast<std::uint64_t>(sm_));
      if (++sm_ > width_) {
        sm_ = 1;
        ++sj_;
      }
    }
  }

 private:
  std::int64_t width_;
  __m256d j_, m_, rows_, cols_, widthD_;
  std::int64_t sj_, sm_;
};

// The stage walk shared by the column and row writers: for `count` plan entries from *cursor,
// writes the column values of each stage from out[0] on, advances *cursor by `count` words and
// the running length *length through the stages, and returns the number of elements written.
template <typename T>
long writeTwidStages(int count, int const** cursor, long* length, T* out) {
  if (count < 1) return 0;
  int const* const entries = *cursor;
  std::int64_t l = *length;
  T* p = out;
  for (int i = 0; i < count; ++i) {
    const std::int64_t word = entries[i];
    std::int64_t radix = word;
    std::int64_t stages = 1;
    if (static_cast<std::uint64_t>(word) >= 65536u) {
      radix = word >> 16;
      stages = word & 0xFFFF;
    }
    // Radix 1 leaves L as it is and a zero L stays zero: such stages write nothing.
    if (radix == 1 || l == 0) continue;
    for (std::int64_t s = 0; s < stages; ++s) {
      const std::int64_t n = wrapMul(l, radix);
      if (l >= 2 && radix >= 2) {
        p = writeBatches<T, false>(p, wrapMul(l - 1, radix - 1), n, StageIndices(radix));
      }
      l = n;
    }
  }
  *cursor = entries + count;
  *length = l;
  return static_cast<long>(p - out);
}

// The column table of a plan: the walk over its S - 1 factor entries.
template <typename T>
[[gnu::noinline]] void writeColTable(int const* plan, T* table) {
  const int count = static_cast<int>(static_cast<unsigned>(plan[0]) & 0xFFu) - 1;
  if (count < 1) return;
  int const* cursor = plan + 2;
  long length = plan[1];
  writeTwidStages(count, &cursor, &length, table);
}

}  // namespace tov::fft::detail::TOV_TWIDDLE_ISA
