// The double pairs of twidValue before conversion: printed values, the scalar reference bit for
// bit, and accuracy against long double.
#include "twiddle/twid_value.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "support/twid_oracle.hpp"
#include "twiddle/cpu.hpp"

namespace {

using tov::test::oracleTwid;
using tov::test::TwidPair;

TwidPair value(long k, long n, bool doubleGrade, bool conjugate = false) {
  double re = 0, im = 0;
  tov::fft::detail::avx2::twidValues(&k, &n, 1, doubleGrade, conjugate, &re, &im);
  return {re, im};
}

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

void expectPair(TwidPair got, TwidPair want, long k, long n) {
  EXPECT_EQ(bits(got.re), bits(want.re)) << "re of k=" << k << " N=" << n << ": " << got.re;
  EXPECT_EQ(bits(got.im), bits(want.im)) << "im of k=" << k << " N=" << n << ": " << got.im;
}

TEST(TwidValue, EighthTurnsHaveThePrintedBitsAndSignsOfZero) {
  TOV_REQUIRE_AVX2();
  const double a = 0.7071067811865475, b = 0.7071067811865476;
  // (single grade, double grade) for k = N/8 ... 7N/8.
  const TwidPair single[7] = {{a, b},   {-0.0, 1.0}, {-b, a}, {-1.0, -0.0},
                              {-a, -b}, {0.0, -1.0}, {b, -a}};
  const TwidPair dbl[7] = {{b, b},   {-0.0, 1.0}, {-b, b}, {-1.0, -0.0},
                           {-b, -b}, {0.0, -1.0}, {b, -b}};
  for (long n : {8L, 64L, 1000L, 3L << 20, 1L << 40, 1L << 52}) {
    for (int i = 0; i < 7; ++i) {
      const long k = n / 8 * (i + 1);
      expectPair(value(k, n, false), single[i], k, n);
      expectPair(value(k, n, true), dbl[i], k, n);
    }
    expectPair(value(0, n, false), {1.0, 0.0}, 0, n);
    expectPair(value(0, n, true), {1.0, 0.0}, 0, n);
    // The conjugate form flips only the sign of the imaginary part, zeros included.
    expectPair(value(0, n, true, true), {1.0, -0.0}, 0, n);
    expectPair(value(n / 4, n, false, true), {-0.0, -1.0}, n / 4, n);
    expectPair(value(n / 2, n, true, true), {-1.0, 0.0}, n / 2, n);
  }
  expectPair(value(1, 3, true), {-0.5, 0.8660254037844386}, 1, 3);
  expectPair(value(1, 3, false), {-0.5, 0.8660254037844387}, 1, 3);
}

// Draws (k, N) with N spread over magnitudes from 1 to 2^max_log, k uniform below N, with
// extra weight on the octant boundaries where the reduction's comparisons switch.
struct Sampler {
  std::mt19937_64 rng{20261206};
  std::pair<long, long> draw(int minLog, int maxLog) {
    const int lg = std::uniform_int_distribution<int>(minLog, maxLog)(rng);
    const long lo = lg == 0 ? 1 : 1L << (lg - 1);
    const long n = std::uniform_int_distribution<long>(lo, (1L << lg))(rng);
    long k = std::uniform_int_distribution<long>(0, n - 1)(rng);
    if (rng() % 4 == 0) {
      const long octant = static_cast<long>(rng() % 8);
      const long near = octant * (n / 8) + static_cast<long>(rng() % 5) - 2;
      if (near >= 0 && near < n) k = near;
    }
    return {k, n};
  }
};

// Both reduction paths (exact doubles below 2^50, integers above) against the reference.
TEST(TwidValue, MatchesScalarReferenceBitForBitInBothGradesAndForms) {
  TOV_REQUIRE_AVX2();
  Sampler sampler;
  constexpr long kCount = 200000;
  std::vector<long> ks(kCount), ns(kCount);
  for (long i = 0; i < kCount; ++i) {
    // Mostly table-sized lengths; some past the vector limit, up to 2^62.
    const int maxLog = i % 10 == 0 ? 62 : 30;
    std::tie(ks[i], ns[i]) = sampler.draw(i % 10 == 0 ? 49 : 0, maxLog);
  }
  std::vector<double> re(kCount), im(kCount);
  for (bool dbl : {false, true}) {
    for (bool conj : {false, true}) {
      tov::fft::detail::avx2::twidValues(ks.data(), ns.data(), kCount, dbl, conj, re.data(),
                                         im.data());
      long mismatches = 0;
      for (long i = 0; i < kCount; ++i) {
        const TwidPair want = oracleTwid(ks[i], ns[i], dbl, conj);
        if (bits(re[i]) != bits(want.re) || bits(im[i]) != bits(want.im)) {
          if (++mismatches <= 5) {
            ADD_FAILURE() << "grade " << (dbl ? "double" : "single") << " conj " << conj
                          << " k=" << ks[i] << " N=" << ns[i] << ": got (" << re[i] << ", " << im[i]
                          << ") want (" << want.re << ", " << want.im << ")";
          }
        }
      }
      EXPECT_EQ(mismatches, 0);
    }
  }
}

// cos and sin of 2*pi*k/N in long double, reduced exactly to the nearest quarter turn first so
// that values near zero keep their relative accuracy.
std::pair<long double, long double> reference(long k, long n) {
  const long quarter = (4 * k + n / 2) / n;  // nearest quarter turn, 0 ... 4
  const long rest = 4 * k - quarter * n;     // |rest| <= n/2, exact
  const long double angle = 1.5707963267948966192313216916397514L * rest / n;
  const long double c = std::cos(angle), s = std::sin(angle);
  switch (quarter % 4) {
    case 0: return {c, s};
    case 1: return {-s, c};
    case 2: return {-c, -s};
    default: return {s, -c};
  }
}

std::string text(double x) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, x).ptr);
}

double ulpsOff(double got, long double want) {
  if (want == 0) return got == 0 ? 0 : 1e9;
  const double ulp = std::ldexp(1.0, std::ilogb(static_cast<double>(want)) - 52);
  return static_cast<double>(std::fabs(static_cast<long double>(got) - want) / ulp);
}

TEST(TwidValue, SingleGradeWithin2e16AndDoubleGradeWithinHalfUlpAndABit) {
  TOV_REQUIRE_AVX2();
  Sampler sampler;
  constexpr long kCount = 400000;
  std::vector<long> ks(kCount), ns(kCount);
  for (long i = 0; i < kCount; ++i) std::tie(ks[i], ns[i]) = sampler.draw(1, 30);
  std::vector<double> sr(kCount), si(kCount), dr(kCount), di(kCount);
  tov::fft::detail::avx2::twidValues(ks.data(), ns.data(), kCount, false, false, sr.data(),
                                     si.data());
  tov::fft::detail::avx2::twidValues(ks.data(), ns.data(), kCount, true, false, dr.data(),
                                     di.data());
  double worstAbs = 0, worstUlps = 0;
  for (long i = 0; i < kCount; ++i) {
    const auto [c, s] = reference(ks[i], ns[i]);
    worstAbs = std::max({worstAbs, static_cast<double>(std::fabs(sr[i] - c)),
                         static_cast<double>(std::fabs(si[i] - s))});
    worstUlps = std::max({worstUlps, ulpsOff(dr[i], c), ulpsOff(di[i], s)});
  }
  EXPECT_LE(worstAbs, 2.0e-16);
  EXPECT_LE(worstUlps, 0.55);
  // A grossly wrong polynomial would still pass loose bounds; these show the errors are real.
  EXPECT_GT(worstAbs, 1.0e-17);
  EXPECT_GT(worstUlps, 0.5);
  RecordProperty("single_grade_max_abs_error", text(worstAbs));
  RecordProperty("double_grade_max_ulps", text(worstUlps));
}

TEST(TwidValue, HalfRoundingOfTheReferenceIsDirect) {
  // 1 + 2^-11 + 2^-40 rounds up to 0x3C01 directly; through float it would tie to 0x3C00.
  EXPECT_EQ(tov::test::halfBits(1.0 + 0x1p-11 + 0x1p-40), 0x3C01);
  EXPECT_EQ(tov::test::halfBits(1.0 + 0x1p-11), 0x3C00);
  EXPECT_EQ(tov::test::halfBits(0x1p-24), 0x0001);
  EXPECT_EQ(tov::test::halfBits(0x1p-25), 0x0000);             // tie to even zero
  EXPECT_EQ(tov::test::halfBits(0x1.8p-25), 0x0001);           // above the tie
  EXPECT_EQ(tov::test::halfBits(-0x1.ffep-15), 0x8400);        // rounds up to the normal
  EXPECT_EQ(tov::test::halfBits(0.7071067811865476), 0x39A8);  // 0.70703125
  EXPECT_EQ(tov::test::halfBits(65504.0), 0x7BFF);
  EXPECT_EQ(tov::test::halfBits(65520.0), 0x7C00);
  EXPECT_EQ(tov::test::halfBits(-0.0), 0x8000);
}

}  // namespace
