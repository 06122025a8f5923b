// The writers' divisions t = u/N and e = (u - t*N)/N on every path give the bits of a correctly
// rounded division, also where they multiply by a reciprocal: for every u in [-N, N] with
// N <= 4096, for random (u, N) with N below 2^50, and for quotients constructed to lie as close to
// a rounding midpoint as u/N can come. Only the last notice a reciprocal one unit in the last
// place off.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "support/twid_tables.hpp"

namespace {

using tov::fft::detail::TwiddlePath;

class Quotients : public testing::TestWithParam<const TwiddlePath*> {
 protected:
  void SetUp() override {
    if (!tov::test::cpuHas(GetParam()->needs)) GTEST_SKIP() << "the processor lacks AVX-512";
  }
  // Returns the number of u whose t or e differs from dividing.
  long mismatches(std::int64_t n, const std::vector<double>& u) {
    std::vector<double> t(u.size()), e(u.size());
    const double nd = static_cast<double>(n);
    GetParam()->quotients(nd, u.data(), static_cast<long>(u.size()), t.data(), e.data());
    long bad = 0;
    for (std::size_t i = 0; i < u.size(); ++i) {
      const double wantT = u[i] / nd, wantE = std::fma(wantT, -nd, u[i]) / nd;
      if ((t[i] != wantT || e[i] != wantE || std::signbit(t[i]) != std::signbit(wantT)) &&
          ++bad <= 3) {
        ADD_FAILURE() << "u = " << u[i] << ", N = " << n << ": t " << t[i] << " e " << e[i];
      }
    }
    return bad;
  }
};

TEST_P(Quotients, EveryNumeratorForSmallN) {
  for (std::int64_t n = 1; n <= 4096 && !HasFailure(); ++n) {
    std::vector<double> u;
    for (std::int64_t i = -n; i <= n; ++i) u.push_back(static_cast<double>(i));
    EXPECT_EQ(mismatches(n, u), 0);
  }
}

TEST_P(Quotients, RandomNumeratorsUpTo2To50) {
  std::mt19937_64 rng(5);
  for (int trial = 0; trial < 20000 && !HasFailure(); ++trial) {
    const std::int64_t n =
        std::max<std::int64_t>(1, static_cast<std::int64_t>(rng() >> (14 + rng() % 50)));
    std::vector<double> u;
    for (int i = 0; i < 16; ++i) {
      u.push_back(static_cast<double>(static_cast<std::int64_t>(rng() % (2 * n + 1)) - n));
    }
    EXPECT_EQ(mismatches(n, u), 0);
  }
}

// For odd N just below 2^50, u = 2^-K mod N (or N minus it) makes u*2^K = Q*N + 1 (or - 1), so
// u/N lies 2^-K/N from Q*2^-K. With u/N in [2^-b, 2^(1-b)) and K = 53 + b, 2^-K is half the
// spacing of the doubles there, and for odd Q that point is a rounding midpoint: u/N is
// ulp/(2N) from it, the least distance there is. Binades b = 1, 2, 3, 5, 8, and both signs of u.
TEST_P(Quotients, NextToRoundingMidpointsNear2To50) {
  __extension__ using Wide = unsigned __int128;
  for (const int b : {1, 2, 3, 5, 8}) {
    const int k = 53 + b;
    int found = 0;
    for (std::int64_t n = (std::int64_t{1} << 50) - 1; found < 8; n -= 2) {
      const auto un = static_cast<std::uint64_t>(n);
      std::uint64_t inverse = 1, half = (un + 1) / 2;  // half = 2^-1 mod N
      for (int i = 0; i < k; ++i) inverse = static_cast<std::uint64_t>(Wide{inverse} * half % un);
      for (const std::uint64_t u : {inverse, un - inverse}) {
        const bool inBinade = Wide{u} << b >= un && Wide{u} << (b - 1) < un;
        const Wide q = (u == inverse ? (Wide{u} << k) - 1 : (Wide{u} << k) + 1) / un;
        if (!inBinade || q % 2 == 0) continue;
        ++found;
        EXPECT_EQ(mismatches(n, {static_cast<double>(u), -static_cast<double>(u)}), 0)
            << "binade 2^-" << b;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, Quotients, testing::ValuesIn([] {
                           std::vector<const TwiddlePath*> all;
                           for (const TwiddlePath& p : tov::fft::detail::kTwiddlePaths) {
                             if (p.reciprocal) all.push_back(&p);
                           }
                           return all;
                         }()));

}  // namespace
