// The writers' divisions t = u/N and e = (u - t*N)/N on every path give the bits of a correctly
// rounded division, also where they multiply by a reciprocal: for every u in [-N, N] with
// N <= 4096, for random (u, N) with N below 2^50, and for quotients constructed to lie as close to
// a rounding midpoint as u/N can come. Only the last notice a reciprocal one unit in the last
// place off.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "twid_tables.hpp"

namespace {

using tov::test::TwiddlePath;

class Quotients : public testing::TestWithParam<const TwiddlePath*> {
 protected:
  void SetUp() override {
    if (!tov::test::cpuHas(GetParam()->needs)) GTEST_SKIP() << "the processor lacks AVX-512";
  }
  // Expects t and e of every u to be the correctly rounded quotients.
  void expectQuotients(std::int64_t n, const std::vector<double>& u) {
    std::vector<double> t(u.size()), e(u.size());
    const double nd = static_cast<double>(n);
    GetParam()->quotients(nd, u.data(), static_cast<long>(u.size()), t.data(), e.data());
    for (std::size_t i = 0; i < u.size() && !HasFailure(); ++i) {
      const double wantT = u[i] / nd;
      EXPECT_EQ(std::bit_cast<std::uint64_t>(t[i]), std::bit_cast<std::uint64_t>(wantT))
          << u[i] << " / " << n;
      EXPECT_EQ(e[i], std::fma(wantT, -nd, u[i]) / nd) << "(" << u[i] << " - t * N) / " << n;
    }
  }
};

TEST_P(Quotients, EveryNumeratorForSmallNAndRandomOnesUpTo2To50) {
  for (std::int64_t n = 1; n <= 4096 && !HasFailure(); ++n) {
    std::vector<double> u;
    for (std::int64_t i = -n; i <= n; ++i) u.push_back(static_cast<double>(i));
    expectQuotients(n, u);
  }
  std::mt19937_64 rng(5);
  for (int trial = 0; trial < 20000 && !HasFailure(); ++trial) {
    const auto n = std::max<std::int64_t>(1, static_cast<std::int64_t>(rng() >> (14 + rng() % 50)));
    std::vector<double> u(16);
    for (double& x : u) x = static_cast<double>(static_cast<std::int64_t>(rng() % (2 * n + 1)) - n);
    expectQuotients(n, u);
  }
}

// Quotients as close to a rounding midpoint as u/N comes, ulp/(2N), where a reciprocal one ulp
// off misses: N odd, within 2^30 below 2^50, with 1/N about half an ulp from either neighbour
// (so that y and its neighbour are 1/2 and 3/2 ulp off), and u = 2^-K mod N, so that
// u*2^K = Q*N + 1: u/N lies 2^-K/N above Q*2^-K, a midpoint for odd Q when u/N is in
// [2^-b, 2^(1-b)) and K = 53 + b. The error of the correction step grows with u/N in its binade:
// hence its top eighth. Binades b = 1, 2, 3, 5 and 8; u and -u.
TEST_P(Quotients, NextToRoundingMidpointsNear2To50) {
  __extension__ using Wide = unsigned __int128;
  std::mt19937_64 rng(11);
  for (const int b : {1, 2, 3, 5, 8}) {
    const int k = 53 + b;
    for (int found = 0; found < 16;) {
      const std::uint64_t n = ((std::uint64_t{1} << 50) - 1 - rng() % (1u << 30)) | 1;
      const Wide rest = (Wide{1} << 102) % n;  // 1/N = (integer + rest/N) * 2^-102
      if (rest * 10 < Wide{n} * 4 || rest * 10 > Wide{n} * 6) continue;
      std::uint64_t u = 1;
      for (int i = 0; i < k; ++i) u = static_cast<std::uint64_t>(Wide{u} * ((n + 1) / 2) % n);
      const bool topEighth = Wide{u} << (b + 2) >= Wide{n} * 7 && Wide{u} << (b - 1) < n;
      if (!topEighth || ((Wide{u} << k) - 1) / n % 2 == 0) continue;
      ++found;
      expectQuotients(static_cast<std::int64_t>(n),
                      {static_cast<double>(u), -static_cast<double>(u)});
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, Quotients, testing::ValuesIn(tov::test::allPaths()),
                         testing::PrintToStringParamName());

}  // namespace
