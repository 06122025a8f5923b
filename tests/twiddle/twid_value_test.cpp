// Twiddle values before the conversion to a table's type, on every path: the eighth turns with
// their signs of zero, the scalar reference bit for bit on both reductions (in doubles below
// N = 2^47, in integers from there on), and the accuracy of both polynomials.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <random>
#include <vector>

#include "twid_tables.hpp"

namespace {

using tov::test::oracleTwid;
using tov::test::TwidPair;

auto bitsOf(TwidPair w) {
  return std::pair(std::bit_cast<std::uint64_t>(w.re), std::bit_cast<std::uint64_t>(w.im));
}

// (k, N) with N spread over magnitudes 2^minLog to 2^maxLog, k uniform below N, one in four
// moved next to an octant boundary, where the reduction's comparisons switch.
std::pair<long, long> draw(std::mt19937_64& rng, int minLog, int maxLog) {
  const int lg = std::uniform_int_distribution<int>(minLog, maxLog)(rng);
  const long n = std::uniform_int_distribution<long>(lg == 0 ? 1 : 1L << (lg - 1), 1L << lg)(rng);
  const long k = std::uniform_int_distribution<long>(0, n - 1)(rng);
  const long near = static_cast<long>(rng() % 8) * (n / 8) + static_cast<long>(rng() % 5) - 2;
  return {rng() % 4 == 0 && near >= 0 && near < n ? near : k, n};
}

// cos and sin of 2*pi*k/N in long double, reduced exactly to the nearest quarter turn first so
// that values near zero keep their relative accuracy.
std::pair<long double, long double> reference(long k, long n) {
  const long quarter = (4 * k + n / 2) / n;  // nearest quarter turn, 0 ... 4
  const long double angle = 1.5707963267948966192313216916397514L * (4 * k - quarter * n) / n;
  const long double c = std::cos(angle), s = std::sin(angle);
  const std::pair<long double, long double> turns[4] = {{c, s}, {-s, c}, {-c, -s}, {s, -c}};
  return turns[quarter % 4];
}

// The error of a plain value in absolute terms, of a compensated one in units in the last place.
double off(double got, long double want, bool inUlps) {
  const int exponent = inUlps && want != 0 ? std::ilogb(static_cast<double>(want)) : 52;
  return static_cast<double>(std::fabs(got - want) / std::ldexp(1.0, exponent - 52));
}

class TwidValue : public testing::TestWithParam<const tov::test::TwiddlePath*> {
 protected:
  void SetUp() override {
    if (!tov::test::cpuHas(GetParam()->needs)) GTEST_SKIP() << "the processor lacks AVX-512";
  }
  void expectPair(long k, long n, bool compensated, bool conjugate, TwidPair want) const {
    TwidPair got{};
    GetParam()->values(&k, &n, 1, compensated, conjugate, &got.re, &got.im);
    EXPECT_EQ(bitsOf(got), bitsOf(want))
        << "k=" << k << " N=" << n << ": " << got.re << ", " << got.im;
  }
};

TEST_P(TwidValue, EighthTurnsHaveExactSignsOfZero) {
  const double a = 0.7071067811865475, b = 0.7071067811865476;
  // k = N/8 ... 7N/8 with the plain polynomial, then with the compensated one.
  const TwidPair plain[7] = {{a, b},   {-0.0, 1.0}, {-b, a}, {-1.0, -0.0},
                             {-a, -b}, {0.0, -1.0}, {b, -a}};
  const TwidPair compensated[7] = {{b, b},   {-0.0, 1.0}, {-b, b}, {-1.0, -0.0},
                                   {-b, -b}, {0.0, -1.0}, {b, -b}};
  // (2^47 - 8: octant boundaries where the vector reduction's margin is smallest.)
  for (long n : {8L, 64L, 1000L, 3L << 20, 1L << 40, (1L << 47) - 8, 1L << 52}) {
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

// Mostly table-sized lengths; a tenth from 2^45 to 2^62, across the change of reduction. Below
// 2^30 also the accuracy against long double: the plain polynomial within 2e-16, the compensated
// one within 0.55 ulp; the worst errors are recorded as properties, in 1e-18 and in thousandths
// of an ulp. Loose bounds alone would pass a grossly wrong polynomial too; the lower ones show
// the errors are real.
TEST_P(TwidValue, MatchesTheReferenceOnBothReductionsAndIsAccurate) {
  std::mt19937_64 rng(20261206);
  std::vector<long> ks(200000), ns(200000);
  for (std::size_t i = 0; i < ks.size(); ++i)
    std::tie(ks[i], ns[i]) = draw(rng, i % 10 ? 1 : 45, i % 10 ? 30 : 62);
  const long count = static_cast<long>(ks.size());
  std::vector<double> re(ks.size()), im(ks.size()), worst = {0, 0};
  for (const bool compensated : {false, true}) {
    for (const bool conjugate : {false, true}) {
      GetParam()->values(ks.data(), ns.data(), count, compensated, conjugate, re.data(), im.data());
      for (long i = 0, bad = 0; i < count && bad < 5; ++i) {
        const TwidPair want = oracleTwid(ks[i], ns[i], compensated, conjugate);
        const bool same = bitsOf({re[i], im[i]}) == bitsOf(want);
        bad += same ? 0 : 1;
        EXPECT_TRUE(same) << "compensated " << compensated << " conjugate " << conjugate
                          << " k=" << ks[i] << " N=" << ns[i] << ": got (" << re[i] << ", " << im[i]
                          << ") want (" << want.re << ", " << want.im << ")";
        if (conjugate || ns[i] > (1L << 30)) continue;
        const auto [c, s] = reference(ks[i], ns[i]);
        worst[compensated] =
            std::max({worst[compensated], off(re[i], c, compensated), off(im[i], s, compensated)});
      }
    }
  }
  EXPECT_TRUE(worst[0] > 1.0e-17 && worst[0] <= 2.0e-16) << worst[0];
  EXPECT_TRUE(worst[1] > 0.5 && worst[1] <= 0.55) << worst[1];
  RecordProperty("plain_max_abs_error_1e-18", static_cast<int>(worst[0] * 1e18));
  RecordProperty("compensated_max_milliulps", static_cast<int>(worst[1] * 1000));
}

INSTANTIATE_TEST_SUITE_P(Paths, TwidValue, testing::ValuesIn(tov::test::allPaths()),
                         testing::PrintToStringParamName());

}  // namespace
