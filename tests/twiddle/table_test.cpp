// Every twiddle writer, the eight exported ones and the float and double writers of each internal
// path (256-bit, 512-bit, with and without the reciprocal division): random plans inside the
// format against the scalar reference, values where a misreading shared by the reference and the
// library would hide, plans outside the format, and the caller's MXCSR.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/twid_tables.hpp"

namespace {

using tov::test::Elem;
using tov::test::SentinelTable;
using tov::test::Writer;

std::string describe(bool rc, long length, const std::vector<int>& plan) {
  std::string s = (rc ? "split, length " : "length ") + std::to_string(length) + ", plan {";
  for (int w : plan) s += std::to_string(w) + ",";
  return s + "}";
}

class TwiddleWriter : public testing::TestWithParam<Writer> {
 protected:
  void SetUp() override {
    if (!GetParam().runs()) {
      GTEST_SKIP() << GetParam().name()
                   << ": the processor (or compiler) lacks its instruction set";
    }
  }
  Elem elem() const { return GetParam().kind.e; }
  bool isRow() const { return GetParam().kind.vl != 0; }

  // Writes into a sentinel array of the reported size and compares every element with the
  // reference: values where the writer writes, the sentinel in the gaps and in the guard.
  SentinelTable expectTable(bool rc, long length, const std::vector<int>& plan) {
    const Writer& w = GetParam();
    const int* words = rc ? nullptr : plan.data();  // the split table must not read the plan
    const std::vector<std::uint64_t> want =
        isRow() ? tov::test::oracleRowTable(w.kind.vl, elem(), rc, length, words)
                : tov::test::oracleColTable(words, elem());
    const std::string what = describe(rc, length, plan);
    SentinelTable table(w.size(rc, length, words), elem());
    EXPECT_EQ(table.size, static_cast<long>(want.size())) << what;
    if (table.size != static_cast<long>(want.size())) return table;
    w.write(rc, length, words, table.data());
    const std::uint64_t sentinel = SentinelTable(1, elem()).at(0);
    for (long i = 0, bad = 0; i < table.size; ++i) {
      const std::uint64_t bits = want[static_cast<std::size_t>(i)];
      const std::uint64_t expected = bits == tov::test::kUntouched ? sentinel : bits;
      if (table.at(i) != expected && ++bad <= 3) {
        ADD_FAILURE() << what << ": element " << i << " is 0x" << std::hex << table.at(i)
                      << ", want 0x" << expected;
      }
    }
    EXPECT_TRUE(table.guardIntact()) << what << " wrote past its size";
    return table;
  }

  // Outside the format only the extent is checked: nothing past the reported size.
  void expectInside(bool rc, long length, const std::vector<int>& plan) {
    const long size = GetParam().size(rc, length, plan.data());
    ASSERT_GE(size, 0) << describe(rc, length, plan);
    if (size > (1 << 16)) return;
    SentinelTable table(size, elem());
    GetParam().write(rc, length, plan.data(), table.data());
    EXPECT_TRUE(table.guardIntact()) << describe(rc, length, plan) << " wrote past " << size;
  }
};

// Random plans: S from 0 to 7, first factor 0, 1 or up to 40, plain and packed entries with
// radix 1 and count 0, stage blocks ending anywhere in a vector block, row radices that are
// small, a multiple of VL plus one or up to 70, chirp bits from 256 to 0x7FFFFFFF or a negative
// word 0, chirp lengths from 0 up to M >= 2n - 1, and split tables up to length 600.
TEST_P(TwiddleWriter, MatchesTheReferenceOnRandomPlans) {
  const long vl = GetParam().kind.vl;
  std::mt19937_64 rng(42 + static_cast<unsigned>(vl));
  const auto pick = [&](long lo, long hi) {
    return std::uniform_int_distribution<long>(lo, hi)(rng);
  };
  for (int trial = 0; trial < 150 && !HasFailure(); ++trial) {
    const int s = static_cast<int>(pick(0, 7));
    const long rowRadix = isRow() && s >= 2 ? (pick(0, 2) == 0 ? vl + 1 : pick(1, 70)) : 1;
    std::vector<int> plan = {s, static_cast<int>(pick(0, 4) == 0 ? pick(0, 1) : pick(2, 40))};
    long l = plan[1];
    for (int i = 2; i <= s - (isRow() ? 1 : 0); ++i) {
      const long r = pick(1, 9), c = pick(0, 3);
      const bool packed = pick(0, 3) == 0;
      const long grow = packed ? (c == 0 ? 1 : c == 1 ? r : c == 2 ? r * r : r * r * r) : r;
      const bool fits = l * grow * rowRadix <= 8192;
      plan.push_back(!fits ? 1 : packed ? static_cast<int>(r << 16 | c) : static_cast<int>(r));
      l *= fits ? grow : 1;
    }
    if (isRow() && s >= 2) plan.push_back(static_cast<int>(rowRadix));
    l *= rowRadix;
    const long flag = pick(0, 3);
    if (flag == 1) plan[0] |= static_cast<int>(pick(1, 0x7FFFFF)) << 8;
    if (flag == 2) plan[0] = static_cast<int>(static_cast<unsigned>(plan[0]) | 0x80000000u);
    const bool chirp = isRow() && plan[0] > 255;
    expectTable(false, chirp ? pick(0, (l + 1) / 2) : pick(-5, 50), plan);
    if (isRow()) expectTable(true, pick(0, 600), {});
  }
}

// Values a misreading shared by reference and library would hide: the first values of a small
// column table in float, w(N/4) = (-0.0, 1.0) with its signed zero in every type, 0.70703125 in
// _Float16; the packed entry read as repeat count and radix; the conjugate sign of the split
// table, conj w(4, 16) = (-0.0, -1.0); the filter block's first value 1/M; row blocks of the
// shapes the layout distinguishes.
TEST_P(TwiddleWriter, PinnedValues) {
  const Elem e = elem();
  const auto bits = [e](double x) { return tov::test::elemBits(x, e); };
  if (!isRow()) {
    const SentinelTable t = expectTable(false, 0, {3, 4, 4, 2});
    if (e == Elem::f32) {
      const float first[] = {0.9238795f, 0.38268343f, 0.70710677f, 0.70710677f, 0.38268343f};
      for (int i = 0; i < 5; ++i) EXPECT_EQ(t.at(i), std::bit_cast<std::uint32_t>(first[i]));
    }
    EXPECT_EQ(t.at(8), bits(-0.0));  // w(4, 16)
    EXPECT_EQ(t.at(9), bits(1.0));
    EXPECT_EQ(t.at(18 + 14), bits(-0.0));  // w(8, 32)
    EXPECT_TRUE(e != Elem::f16 || t.at(2) == 0x39A8u) << "w(1, 16) in _Float16 is 0.70703125";
    const SentinelTable packed = expectTable(false, 0, {2, 2, 2 << 16 | 3});
    const SentinelTable plain = expectTable(false, 0, {4, 2, 2, 2, 2});
    EXPECT_EQ(packed.bytes, plain.bytes);
    return;
  }
  const SentinelTable split = expectTable(true, 8, {});
  EXPECT_EQ(split.at(6), bits(-0.0));
  EXPECT_EQ(split.at(7), bits(-1.0));
  const SentinelTable chirp = expectTable(false, 3, {0x102, 4, 4});
  const long b =
      chirp.size - 2 * ((16 + GetParam().kind.vl - 1) / GetParam().kind.vl) * GetParam().kind.vl;
  EXPECT_EQ(chirp.at(b), bits(0.0625));
  EXPECT_EQ(chirp.at(b + 1), bits(0.0));
  for (const std::vector<int>& plan : std::vector<std::vector<int>>{
           {2, 5, 3}, {2, 5, 5}, {2, 6, 2}, {2, 9, 3}, {2, 8, 3}, {2, 1, 17}, {0x103, 2, 3, 4}}) {
    expectTable(false, 5, plan);
  }
}

// Whatever plan or length is passed, nothing is written past the reported size: every factor
// count with every kind of chirp bits, packed, zero, negative and huge words as the row radix
// with extreme first factors, arbitrary random words, and extreme lengths.
TEST_P(TwiddleWriter, PlansOutsideTheFormatStayInsideTheReportedSize) {
  for (const std::uint32_t high : {0x0u, 0x100u, 0x7FFFFF00u, 0x80000000u, 0xFFFFFF00u}) {
    for (std::uint32_t count = 0; count < 256; ++count) {
      std::vector<int> plan(count + 2, 1);
      plan[0] = static_cast<int>(high | count);
      plan[1] = 3;
      if (count >= 2) plan[2] = 2;
      if (count >= 1) plan[count] = 3;
      expectInside(false, 4, plan);
    }
  }
  for (const int radix : {0, -1, INT_MIN, INT_MAX, 65536, 2 << 16 | 3, -65535}) {
    for (const int first : {0, 1, 5, -7, INT_MIN, INT_MAX}) {
      for (const int word0 : {2, 0x102, 3, 0x103}) {
        expectInside(false, 3,
                     word0 % 256 == 2 ? std::vector<int>{word0, first, radix}
                                      : std::vector<int>{word0, first, 2, radix});
      }
    }
  }
  std::mt19937_64 rng(99);
  for (int trial = 0; trial < 500 && !HasFailure(); ++trial) {
    std::vector<int> plan = {static_cast<int>(rng() % 6)};
    if (rng() % 2) plan[0] |= static_cast<int>(static_cast<std::uint32_t>(rng()) & ~0xFFu);
    for (int i = 0; i < 6; ++i) {
      const std::uint64_t x = rng();
      const int kind = static_cast<int>(x % 4);
      plan.push_back(kind == 0   ? static_cast<int>(x >> 8) % 7 - 2
                     : kind == 1 ? static_cast<int>(x >> 8) % 40
                     : kind == 2 ? static_cast<int>((x >> 8) % 9 << 16 | (x >> 16) % 4)
                                 : static_cast<int>(static_cast<std::uint32_t>(x >> 8)));
    }
    expectInside(false, static_cast<long>(rng() % 200) - 20, plan);
  }
  if (!isRow()) return;
  for (const long length : {LONG_MIN, -1L, 0L, 1L, 2L, 9L, 17L, 1000L, LONG_MAX}) {
    expectInside(true, length, {0x102, 4, 4});
    expectInside(false, length, {0x102, 4, 4});
  }
  EXPECT_GT(GetParam().size(true, LONG_MAX, nullptr), 1L << 40);
}

// The table is the same under any caller MXCSR, and the caller's whole register comes back: one
// caller with round toward zero, flush-to-zero, denormals-are-zero, divide-by-zero unmasked and a
// stale invalid flag; one with none of those but rounding up, denormal unmasked and a stale
// inexact flag. Under the reference control bits (a stale denormal flag) MXCSR is not rewritten,
// so the inexact flag raised inside stays set. The column plan has N = 143360, which gives
// _Float16 subnormals; the row plan has stages, rows and a chirp with M = 420.
TEST_P(TwiddleWriter, CallerMxcsrChangesNoBitAndComesBackWhole) {
  const std::vector<int> plan =
      isRow() ? std::vector<int>{0x104, 3, 5, 7, 4} : std::vector<int>{3, 5, 7, 4096};
  const unsigned callers[] = {(0x1F80u & ~0x200u) | 0x6000u | 0x8000u | 0x40u | 0x1u,
                              (0x1F80u & ~0x100u) | 0x4000u | 0x20u, 0x1F80u | 0x2u};
  const SentinelTable reference = expectTable(false, 100, plan);
  const unsigned saved = _mm_getcsr();
  for (const unsigned caller : callers) {
    SentinelTable table(reference.size, elem());
    _mm_setcsr(caller);
    GetParam().write(false, 100, plan.data(), table.data());
    const unsigned after = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(table.bytes, reference.bytes) << "caller MXCSR 0x" << std::hex << caller;
    // Under the reference setting: inexact raised, and underflow by _Float16 subnormals.
    const unsigned want = caller == 0x1F82u ? 0x1FA2u : caller;
    EXPECT_EQ(caller == 0x1F82u ? after & ~0x10u : after, want)
        << "caller 0x" << std::hex << caller;
  }
}

INSTANTIATE_TEST_SUITE_P(All, TwiddleWriter, testing::ValuesIn(tov::test::allWriters()),
                         [](const testing::TestParamInfo<Writer>& param) {
                           return param.param.name();
                         });

// Sizes where the layout rules, not the values, are the question: split tables of
// 2 * (length / 2 rounded up to VL) elements; the remainder-row width of radix r (one row of it
// with L = 1): r - 1 when r mod VL = 1, else the smallest power of two or multiple of VL from r;
// the chirp blocks after the row block; a negative word 0, which sets no chirp flag.
TEST(TwiddleLayout, SizesFollowTheLayoutRules) {
  using tov::test::rowSize;
  EXPECT_EQ(rowSize(4, true, 8, nullptr), 8);
  EXPECT_EQ(rowSize(4, true, 13, nullptr), 16);
  EXPECT_EQ(rowSize(2, true, 13, nullptr), 12);
  EXPECT_EQ(rowSize(16, true, 2, nullptr), 32);
  EXPECT_EQ(rowSize(16, true, 1, nullptr), 0);
  const auto width = [](long vl, int r) {
    return rowSize(vl, false, 0, std::vector<int>{2, 1, r}.data()) / 2;
  };
  const int widths[][3] = {{4, 2, 2},  {4, 3, 4},    {4, 5, 4},    {4, 6, 8},   {4, 10, 12},
                           {8, 3, 4},  {8, 5, 8},    {8, 9, 8},    {8, 10, 16}, {16, 3, 4},
                           {16, 6, 8}, {16, 17, 16}, {16, 18, 32}, {2, 3, 2},   {2, 6, 6}};
  for (const auto& w : widths)
    EXPECT_EQ(width(w[0], w[1]), w[2]) << "VL " << w[0] << ", r " << w[1];
  EXPECT_EQ(rowSize(4, false, 3, std::vector<int>{0x102, 4, 4}.data()), 64);
  EXPECT_EQ(rowSize(4, false, 5, std::vector<int>{0x103, 2, 3, 4}.data()), 112);
  EXPECT_EQ(rowSize(4, false, 3, std::vector<int>{-254, 4, 4}.data()), 24);
}

}  // namespace
