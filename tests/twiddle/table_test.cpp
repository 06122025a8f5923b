// Every twiddle writer, the eight exported ones and the float and double writers of each internal
// path (256-bit, 512-bit, with and without the reciprocal division): random plans inside the
// format against the scalar reference, values where a misreading shared by the reference and the
// library would hide, plans outside the format, and the caller's MXCSR.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "twid_tables.hpp"

namespace {

using tov::test::Elem;
using tov::test::SentinelTable;
using tov::test::Writer;

class TwiddleWriter : public testing::TestWithParam<Writer> {
 protected:
  void SetUp() override {
    if (!GetParam().runs()) GTEST_SKIP() << "the processor (or compiler) lacks its instruction set";
  }
  Elem elem() const { return GetParam().kind.e; }
  long vl() const { return GetParam().kind.vl; }  // 0 for column tables

  // Writes into a sentinel array of the reported size: nothing may be written past it, and,
  // inside the format, the reference's bits must be where the writer writes and the sentinel in
  // the gaps. (Tables outside the format too large to allocate are only sized.)
  SentinelTable expectTable(bool rc, long length, const std::vector<int>& plan,
                            bool inFormat = true) {
    const int* words =
        rc && inFormat ? nullptr : plan.data();  // a split table must not read the plan
    const long size = GetParam().size(rc, length, words);
    const std::string what = (rc ? "split, length " : "length ") + std::to_string(length) +
                             ", plan " + testing::PrintToString(plan);
    EXPECT_GE(size, 0) << what;
    SentinelTable table(inFormat || (size >= 0 && size <= (1 << 16)) ? size : 0, elem());
    if (table.size != size) return table;
    GetParam().write(rc, length, words, table.data());
    EXPECT_TRUE(table.guardIntact()) << what << " wrote past its size";
    if (!inFormat) return table;
    std::vector<std::uint64_t> want =
        vl() ? tov::test::oracleRowTable(vl(), elem(), rc, length, words)
             : tov::test::oracleColTable(words, elem());
    std::vector<std::uint64_t> got;
    for (long i = 0; i < table.size; ++i) got.push_back(table.at(i));
    for (std::uint64_t& w : want)
      w = w == tov::test::kUntouched ? SentinelTable(1, elem()).at(0) : w;
    EXPECT_EQ(got, want) << what;
    return table;
  }
};

// Random plans: S from 0 to 7, first factor 0, 1 or up to 40, plain and packed entries with
// radix 1 and count 0, a sixth with radices from 10 to 80, stage blocks ending anywhere in a vector
// block, row radices that are small, a multiple of VL plus one or up to 70, chirp bits from 256 to
// 0x7FFFFFFF or a negative word 0, chirp lengths from 0 up to M >= 2n - 1, and split tables up to
// length 600.
TEST_P(TwiddleWriter, MatchesTheReferenceOnRandomPlans) {
  std::mt19937_64 rng(42 + static_cast<unsigned>(vl()));
  const auto pick = [&](long lo, long hi) {
    return std::uniform_int_distribution<long>(lo, hi)(rng);
  };
  for (int trial = 0; trial < 150 && !HasFailure(); ++trial) {
    const int s = static_cast<int>(pick(0, 7));
    const long rowRadix = vl() && s >= 2 ? (pick(0, 2) == 0 ? vl() + 1 : pick(1, 70)) : 1;
    std::vector<int> plan = {s, static_cast<int>(pick(0, 4) == 0 ? pick(0, 1) : pick(2, 40))};
    long l = plan[1] * rowRadix;
    for (int i = 2; i <= s - (vl() ? 1 : 0); ++i) {
      const long r = pick(0, 5) ? pick(1, 9) : pick(10, 80), c = pick(0, 3),
                 packed = pick(0, 3) == 0;
      const long grow = packed ? (c == 0 ? 1 : c == 1 ? r : c == 2 ? r * r : r * r * r) : r;
      const bool fits = l * grow <= 8192;
      plan.push_back(!fits ? 1 : packed ? static_cast<int>(r << 16 | c) : static_cast<int>(r));
      l *= fits ? grow : 1;
    }
    if (vl() && s >= 2) plan.push_back(static_cast<int>(rowRadix));
    const long flag = pick(0, 3);
    if (flag == 1) plan[0] |= static_cast<int>(pick(1, 0x7FFFFF)) << 8;
    if (flag == 2) plan[0] = static_cast<int>(static_cast<unsigned>(plan[0]) | 0x80000000u);
    expectTable(false, vl() && plan[0] > 255 ? pick(0, (l + 1) / 2) : pick(-5, 50), plan);
    if (vl()) expectTable(true, pick(0, 600), {});
  }
}

// Values a misreading shared by reference and library would hide: in a small column table
// w(N/4) = (-0.0, 1.0) with its signed zero (and the positive exponent) in every type, at the
// position of j = m = 2, and 0.70703125 for w(1, 16) in _Float16; the packed entry read as repeat
// count and radix; the conjugate sign of the split table, conj w(4, 16) = (-0.0, -1.0); the filter
// block's first value 1/M, its imaginary part +0.0.
TEST_P(TwiddleWriter, PinnedValues) {
  const auto bits = [this](double x) { return tov::test::elemBits(x, elem()); };
  if (vl() == 0) {
    const SentinelTable t = expectTable(false, 0, {3, 4, 4, 2});
    EXPECT_EQ(std::pair(t.at(8), t.at(9)), std::pair(bits(-0.0), bits(1.0)));  // w(4, 16)
    EXPECT_EQ(t.at(18 + 14), bits(-0.0));                                      // w(8, 32)
    EXPECT_TRUE(elem() != Elem::f16 || t.at(2) == 0x39A8u) << "w(1, 16) in _Float16 is 0.70703125";
    EXPECT_EQ(expectTable(false, 0, {2, 2, 2 << 16 | 3}).bytes,
              expectTable(false, 0, {4, 2, 2, 2, 2}).bytes);
    return;
  }
  const SentinelTable split = expectTable(true, 8, {});
  EXPECT_EQ(std::pair(split.at(6), split.at(7)), std::pair(bits(-0.0), bits(-1.0)));
  expectTable(false, 3, {0x100, 5});  // word 0 = 256: the smallest chirp flag, no factor entry
  const SentinelTable chirp = expectTable(false, 3, {0x102, 4, 4});
  const long filter = chirp.size - 2 * ((16 + vl() - 1) / vl() * vl());
  EXPECT_EQ(std::pair(chirp.at(filter), chirp.at(filter + 1)), std::pair(bits(0.0625), bits(0.0)));
}

// The index formulas of the row block in tov/fft/twiddle.hpp, value by value, on random plans
// of one stage and a row stage: lane groups, then remainder rows of width W from j = 0 or 1.
TEST_P(TwiddleWriter, RowBlockFollowsTheDocumentedFormulas) {
  if (vl() == 0) GTEST_SKIP() << "column tables have no row block";
  std::mt19937_64 rng(7);
  for (int trial = 0; trial < 40 && !HasFailure(); ++trial) {
    const int first = 1 + rng() % 12, radix = 1 + rng() % 4,
              r = rng() % 3 ? 2 + rng() % 39 : vl() + 1;
    const SentinelTable t = expectTable(false, 0, {3, first, radix, r});
    const long l = first * radix, lanes = l / vl() * vl(), j0 = r % vl() == 1;
    long width = r - j0;
    while (!j0 && width % vl() && (width & (width - 1))) ++width;
    const long start = tov::test::roundUpTo(2 * (first - 1) * (radix - 1), 2 * vl());
    for (long k = 0; k < l; ++k) {
      for (long j = k < lanes ? 1 : j0; j < r; ++j) {
        const long value = k < lanes ? ((k / vl()) * (r - 1) + j - 1) * vl() + k % vl()
                                     : lanes * (r - 1) + (k - lanes) * width + j - j0;
        std::vector<std::uint64_t> w;
        tov::test::appendValue(w, k * j, l * r, elem());
        EXPECT_EQ(t.at(start + 2 * value), w[0]) << "value " << value << ", k " << k << ", j " << j;
      }
    }
  }
}

// Whatever plan or length is passed, nothing is written past the reported size: every factor
// count with every kind of chirp bits, packed, zero, negative and huge words as the row radix
// with extreme first factors, and extreme lengths.
TEST_P(TwiddleWriter, PlansOutsideTheFormatStayInsideTheReportedSize) {
  for (const std::uint32_t high : {0x0u, 0x100u, 0x7FFFFF00u, 0x80000000u, 0xFFFFFF00u}) {
    for (std::uint32_t count = 0; count < 256; ++count) {
      std::vector<int> plan(count + 2, 1);  // first factor 3, entries 2, 1, ..., 1, 3
      plan[count] = 3;
      plan[0] = static_cast<int>(high | count);
      plan[1] = 3;
      if (count >= 2) plan[2] = 2;
      expectTable(false, 4, plan, false);
    }
  }
  for (const int radix : {0, -1, INT_MIN, INT_MAX, 65536, 2 << 16 | 3, -65535}) {
    for (const int first : {0, 1, 5, -7, INT_MIN, INT_MAX}) {
      for (const int word0 : {2, 0x102}) {
        expectTable(false, 3, {word0, first, radix}, false);
        expectTable(false, 3, {word0 + 1, first, 2, radix}, false);
      }
    }
  }
  for (const long length : {LONG_MIN, -1L, 0L, 1L, 2L, 9L, 17L, 1000L, LONG_MAX}) {
    expectTable(true, length, {0x102, 4, 4}, false);
    expectTable(false, length, {0x102, 4, 4}, false);
  }
  EXPECT_TRUE(vl() == 0 || GetParam().size(true, LONG_MAX, nullptr) > (1L << 40));
}

// The table is the same under any caller MXCSR, and the caller's whole register comes back: one
// caller with round toward zero, flush-to-zero, denormals-are-zero, divide-by-zero unmasked and a
// stale invalid flag; one with none of those but rounding up, denormal unmasked and a stale
// inexact flag. Under the reference control bits (a stale denormal flag) MXCSR is not rewritten,
// so the inexact flag raised inside stays set (and underflow, raised by _Float16 subnormals). The
// column plan has N = 143360, which gives _Float16 subnormals; the row plan has stages, rows and
// a chirp with M = 420.
TEST_P(TwiddleWriter, CallerMxcsrChangesNoBitAndComesBackWhole) {
  const std::vector<int> plan =
      vl() ? std::vector<int>{0x104, 3, 5, 7, 4} : std::vector<int>{3, 5, 7, 4096};
  const SentinelTable reference = expectTable(false, 100, plan);
  const unsigned saved = _mm_getcsr();
  for (const unsigned caller :
       {(0x1F80u & ~0x200u) | 0xE041u, (0x1F80u & ~0x100u) | 0x4020u, 0x1F82u}) {
    SentinelTable table(reference.size, elem());
    _mm_setcsr(caller);
    GetParam().write(false, 100, plan.data(), table.data());
    const unsigned after = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(table.bytes, reference.bytes) << "caller MXCSR 0x" << std::hex << caller;
    EXPECT_EQ(caller == 0x1F82u ? after & ~0x10u : after, caller == 0x1F82u ? 0x1FA2u : caller)
        << "caller MXCSR 0x" << std::hex << caller;
  }
}

struct PlanCase {
  std::vector<int> plan;
  bool row;
  long length;  // chirp points
  long expected;
};

// checkTwidPlan: the transform length of a plan inside the format, -1 for each way out of it.
TEST(CheckTwidPlan, GivesTheLengthOrRefusesAPlanOutsideTheFormat) {
  const PlanCase cases[] = {
      {{3, 4, 4, 2}, false, 0, 32},
      {{2, 2, 2 << 16 | 3}, false, 0, 16},  // packed: three stages of radix 2
      {{2, 2, 2 << 16 | 3}, true, 0, -1},   // a row stage must be plain
      {{3, 5, 1 << 16 | 9, 3}, true, 0, 15},
      {{2, 6, 0}, false, 0, -1},       // radix 0
      {{2, 6, -65535}, false, 0, -1},  // packed radix -1
      {{1, -3}, false, 0, -1},         // negative first factor
      {{0}, true, 5, 0},               // no factor, no chirp: word 1 is not read
      {{0x100, 9}, true, 5, 9},        // word 0 = 256: chirp blocks with M = 9 >= 2 * 5 - 1
      {{0x100, 8}, true, 5, -1},       // M = 8 too short for 5 points
      {{0x100, 8}, false, 5, 0},       // a column plan with no factor
      {{0x102, 4, 4}, true, -1, -1},   // negative chirp length
      {{0x102, 4, 4}, true, 0, 16},
      {{static_cast<int>(0x80000002u), 4, 4}, true, 9, 16},    // negative word 0: no chirp flag
      {{3, 1 << 30, 1 << 16 | 65535, 4}, false, 0, 1L << 32},  // radix 1 repeated: no stage
      {{4, INT_MAX, 65535, 65535, 65535}, false, 0, -1},       // beyond LONG_MAX
  };
  for (const PlanCase& c : cases) {
    EXPECT_EQ(tov::fft::checkTwidPlan(c.row, c.length, c.plan.data()), c.expected)
        << testing::PrintToString(c.plan) << (c.row ? " row" : " column");
  }
}

INSTANTIATE_TEST_SUITE_P(All, TwiddleWriter, testing::ValuesIn(tov::test::allWriters()),
                         testing::PrintToStringParamName());

}  // namespace
