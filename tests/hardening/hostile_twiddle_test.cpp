// The twiddle writers and size functions on plans and lengths outside the format: every pattern
// of word 0 (factor count and chirp bits), packed words and non-positive values as the row radix,
// and extreme lengths. Whatever is written must stay inside the size the size function reports;
// under the sanitize preset these also prove the absence of undefined behaviour.
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "twiddle/table_helpers.hpp"

namespace {

using tov::test::callColWriter;
using tov::test::callRowWriter;
using tov::test::cpuRuns;
using tov::test::Elem;
using tov::test::Instance;
using tov::test::kInstances;
using tov::test::rowSize;
using tov::test::SentinelTable;

// Tables larger than this are only sized, not written.
constexpr long kMaxWritten = 1 << 21;
long gWritten = 0;  // tables written by the two checks below

void writeColChecked(const std::vector<int>& plan, Elem e) {
  const long size = tov::fft::getColTwidTableSize(plan.data());
  ASSERT_GE(size, 0);
  if (size > kMaxWritten) return;
  SentinelTable table(size, e);
  callColWriter(plan.data(), e, table.data());
  ++gWritten;
  EXPECT_TRUE(table.guardIntact()) << "column table wrote past " << size << ", word 0 " << plan[0];
}

void writeRowChecked(Instance in, bool rc, long length, const std::vector<int>& plan) {
  const long size = rowSize(in.vl, rc, length, plan.data());
  ASSERT_GE(size, 0);
  if (size > kMaxWritten) return;
  SentinelTable table(size, in.e);
  callRowWriter(in, rc, length, plan.data(), table.data());
  ++gWritten;
  EXPECT_TRUE(table.guardIntact()) << "VL " << in.vl << " rc " << rc << " length " << length
                                   << " word 0 " << plan[0] << " wrote past " << size;
}

// Word 0 with every factor count and the chirp bits clear, set, at the top of the positive
// range and with the sign bit (which clears the flag). The plan holds as many entries as the
// count names: radix 2, then 1 (so lengths stay small), the row stage 3.
TEST(HostileTwiddle, EveryFactorCountWithEveryKindOfChirpBits) {
  for (const std::uint32_t high : {0x0u, 0x100u, 0x7FFFFF00u, 0x80000000u, 0xFFFFFF00u}) {
    for (std::uint32_t count = 0; count < 256; ++count) {
      std::vector<int> plan(count + 2, 1);
      plan[0] = static_cast<int>(high | count);
      plan[1] = 3;
      if (count >= 2) plan[2] = 2;
      if (count >= 1) plan[count] = 3;
      for (const Elem e : {Elem::f32, Elem::f64, Elem::f16}) {
        if (cpuRuns(e)) writeColChecked(plan, e);
      }
      for (const Instance in : kInstances) {
        if (cpuRuns(in.e)) writeRowChecked(in, false, 4, plan);
      }
    }
  }
}

// The row stage is taken whole as a radix: packed words, zero and negative words, and the
// largest ones, with small, zero and negative first factors and with the chirp flag.
TEST(HostileTwiddle, ExtremeRowRadicesAndFirstFactors) {
  const int radices[] = {
      0, -1, INT_MIN, INT_MAX, 65536, 2 << 16 | 3, static_cast<int>(0xFFFF0001u)};
  for (const int radix : radices) {
    for (const int first : {0, 1, 5, -7, INT_MIN, INT_MAX}) {
      for (const int word0 : {2, 0x102, 3, 0x103}) {
        const std::vector<int> plan = word0 % 256 == 2 ? std::vector<int>{word0, first, radix}
                                                       : std::vector<int>{word0, first, 2, radix};
        for (const Instance in : kInstances) {
          if (cpuRuns(in.e)) writeRowChecked(in, false, 3, plan);
        }
        for (const Elem e : {Elem::f32, Elem::f64}) {
          if (cpuRuns(e)) writeColChecked(plan, e);
        }
      }
    }
  }
}

// Random plans outside the format: negative, zero and huge words and packed words anywhere, with
// any chirp bits and lengths from -20.
TEST(HostileTwiddle, ArbitraryPlansStayInsideTheReportedSize) {
  std::mt19937_64 rng(99);
  const auto word = [&]() -> int {
    switch (rng() % 4) {
      case 0: return static_cast<int>(rng() % 7) - 2;  // -2 ... 4
      case 1: return static_cast<int>(rng() % 40);
      case 2: return static_cast<int>(((rng() % 9) << 16) | (rng() % 4));  // packed
      default: return static_cast<int>(static_cast<std::uint32_t>(rng()));
    }
  };
  TOV_REQUIRE_AVX2();
  const long writtenBefore = gWritten;
  for (int trial = 0; trial < 3000 && !HasFailure(); ++trial) {
    std::vector<int> plan = {static_cast<int>(rng() % 6)};
    if (rng() % 2) plan[0] |= static_cast<int>(static_cast<std::uint32_t>(rng()) & ~0xFFu);
    for (int i = 0; i < 6; ++i) plan.push_back(word());
    const long length = static_cast<long>(rng() % 200) - 20;
    writeColChecked(plan, Elem::f32);
    writeRowChecked({4, Elem::f32}, false, length, plan);
  }
  EXPECT_GT(gWritten - writtenBefore, 3000);
}

// Split tables and chirp blocks with negative, zero and huge lengths; chirp blocks whose filter
// length M is below 2n - 1.
TEST(HostileTwiddle, ExtremeLengths) {
  const std::vector<int> chirp = {0x102, 4, 4};  // M = 16
  for (const long length : {LONG_MIN, -1L, 0L, 1L, 2L, 9L, 17L, 1000L, LONG_MAX}) {
    for (const Instance in : kInstances) {
      if (!cpuRuns(in.e)) continue;
      writeRowChecked(in, true, length, chirp);
      writeRowChecked(in, false, length, chirp);
    }
  }
  // Sizes of what cannot be allocated still come back, never negative.
  EXPECT_GT(tov::fft::getRowTwidTableSize<4>(true, LONG_MAX, nullptr), 1L << 40);
  EXPECT_GT(tov::fft::getRowTwidTableSize<16>(false, LONG_MAX, chirp.data()), 1L << 40);
}

}  // namespace
