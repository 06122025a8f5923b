// Twiddle values before the conversion to a table's type, on every path: the eighth turns with
// their signs of zero, the scalar reference bit for bit on both reductions (in doubles below
// N = 2^50, in integers from there on), and the accuracy of both polynomials.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "support/twid_tables.hpp"

namespace {

using tov::test::oracleTwid;
using tov::test::TwidPair;

// (k, N) with N spread over magnitudes 2^minLog to 2^maxLog, k uniform below N, one in four
// moved next to an octant boundary, where the reduction's comparisons switch.
std::pair<long, long> draw(std::mt19937_64& rng, int minLog, int maxLog) {
  const int lg = std::uniform_int_distribution<int>(minLog, maxLog)(rng);
  const long n = std::uniform_int_distribution<long>(lg == 0 ? 1 : 1L << (lg - 1), 1L << lg)(rng);
  const long k = std::uniform_int_distribution<long>(0, n - 1)(rng);
  const long near = static_cast<long>(rng() % 8) * (n / 8) + static_cast<long>(rng() % 5) - 2;
  return {rng() % 4 == 0 && near >= 0 && near < n ? near : k, n};
}

class TwidValue : public testing::TestWithParam<const tov::test::TwiddlePath*> {
 protected:
  void SetUp() override {
    if (!tov::test::cpuHas(GetParam()->needs)) GTEST_SKIP() << "the processor lacks AVX-512";
  }
  void expectPair(long k, long n, bool compensated, bool conjugate, TwidPair want) const {
    TwidPair got{};
    GetParam()->values(&k, &n, 1, compensated, conjugate, &got.re, &got.im);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got.re), std::bit_cast<std::uint64_t>(want.re))
        << "re of k=" << k << " N=" << n << ": " << got.re;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(got.im), std::bit_cast<std::uint64_t>(want.im))
        << "im of k=" << k << " N=" << n << ": " << got.im;
  }
};

TEST_P(TwidValue, EighthTurnsHaveExactSignsOfZero) {
  const double a = 0.7071067811865475, b = 0.7071067811865476;
  // k = N/8 ... 7N/8 with the plain polynomial, then with the compensated one.
  const TwidPair plain[7] = {{a, b},   {-0.0, 1.0}, {-b, a}, {-1.0, -0.0},
                             {-a, -b}, {0.0, -1.0}, {b, -a}};
  const TwidPair compensated[7] = {{b, b},   {-0.0, 1.0}, {-b, b}, {-1.0, -0.0},
                                   {-b, -b}, {0.0, -1.0}, {b, -b}};
  for (long n : {8L, 64L, 1000L, 3L << 20, 1L << 40, 1L << 52}) {
    for (int i = 0; i < 7; ++i) {
      expectPair(n / 8 * (i + 1), n, false, false, plain[i]);
      expectPair(n / 8 * (i + 1), n, true, false, compensated[i]);
    }
    expectPair(0, n, false, false, {1.0, 0.0});
    // The conjugate form flips only the sign of the imaginary part, zeros included.
    expectPair(0, n, true, true, {1.0, -0.0});
    expectPair(n / 4, n, false, true, {-0.0, -1.0});
    expectPair(n / 2, n, true, true, {-1.0, 0.0});
  }
  expectPair(1, 3, true, false, {-0.5, 0.8660254037844386});
  expectPair(1, 3, false, false, {-0.5, 0.8660254037844387});
}

// Mostly table-sized lengths; a tenth from 2^49 to 2^62, across the change of reduction.
TEST_P(TwidValue, MatchesTheReferenceOnBothReductions) {
  std::mt19937_64 rng(20261206);
  std::vector<long> ks, ns;
  for (int i = 0; i < 100000; ++i) {
    const auto [k, n] = i % 10 == 0 ? draw(rng, 49, 62) : draw(rng, 0, 30);
    ks.push_back(k);
    ns.push_back(n);
  }
  std::vector<double> re(ks.size()), im(ks.size());
  for (const bool compensated : {false, true}) {
    for (const bool conjugate : {false, true}) {
      GetParam()->values(ks.data(), ns.data(), static_cast<long>(ks.size()), compensated, conjugate,
                         re.data(), im.data());
      for (std::size_t i = 0, bad = 0; i < ks.size() && bad < 5; ++i) {
        const TwidPair want = oracleTwid(ks[i], ns[i], compensated, conjugate);
        if (std::bit_cast<std::uint64_t>(re[i]) != std::bit_cast<std::uint64_t>(want.re) ||
            std::bit_cast<std::uint64_t>(im[i]) != std::bit_cast<std::uint64_t>(want.im)) {
          ++bad;
          ADD_FAILURE() << "compensated " << compensated << " conjugate " << conjugate
                        << " k=" << ks[i] << " N=" << ns[i] << ": got (" << re[i] << ", " << im[i]
                        << ") want (" << want.re << ", " << want.im << ")";
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, TwidValue, testing::ValuesIn(tov::test::allPaths(false)),
                         tov::test::pathTestName);

// cos and sin of 2*pi*k/N in long double, reduced exactly to the nearest quarter turn first so
// that values near zero keep their relative accuracy.
std::pair<long double, long double> reference(long k, long n) {
  const long quarter = (4 * k + n / 2) / n;  // nearest quarter turn, 0 ... 4
  const long double angle = 1.5707963267948966192313216916397514L * (4 * k - quarter * n) / n;
  const long double c = std::cos(angle), s = std::sin(angle);
  const std::pair<long double, long double> turns[4] = {{c, s}, {-s, c}, {-c, -s}, {s, -c}};
  return turns[quarter % 4];
}

double ulpsOff(double got, long double want) {
  const double ulp = std::ldexp(1.0, std::ilogb(static_cast<double>(want)) - 52);
  return want == 0 ? (got == 0 ? 0 : 1e9) : static_cast<double>(std::fabs(got - want) / ulp);
}

// Every path agrees with the scalar reference bit for bit (above), so the reference stands for
// all of them. The worst errors are recorded as properties, in 1e-18 and in thousandths of an
// ulp. Also pins the reference's direct rounding to _Float16: 1 + 2^-11 + 2^-40 becomes 0x3C01
// (through float it would tie to 0x3C00).
TEST(TwidAccuracy, PlainWithin2e16AndCompensatedWithinHalfUlpAndABit) {
#if defined(__FLT16_MAX__)
  EXPECT_EQ(tov::test::elemBits(1.0 + 0x1p-11 + 0x1p-40, tov::test::Elem::f16), 0x3C01u);
#endif
  std::mt19937_64 rng(7);
  double worstAbs = 0, worstUlps = 0;
  for (int i = 0; i < 400000; ++i) {
    const auto [k, n] = draw(rng, 1, 30);
    const auto [c, s] = reference(k, n);
    const TwidPair plain = oracleTwid(k, n, false, false), full = oracleTwid(k, n, true, false);
    worstAbs = std::max({worstAbs, static_cast<double>(std::fabs(plain.re - c)),
                         static_cast<double>(std::fabs(plain.im - s))});
    worstUlps = std::max({worstUlps, ulpsOff(full.re, c), ulpsOff(full.im, s)});
  }
  // Loose bounds alone would pass a grossly wrong polynomial too; the lower ones show the
  // errors are real.
  EXPECT_LE(worstAbs, 2.0e-16);
  EXPECT_GT(worstAbs, 1.0e-17);
  EXPECT_LE(worstUlps, 0.55);
  EXPECT_GT(worstUlps, 0.5);
  RecordProperty("plain_max_abs_error_1e-18", static_cast<int>(worstAbs * 1e18));
  RecordProperty("compensated_max_milliulps", static_cast<int>(worstUlps * 1000));
}

}  // namespace
