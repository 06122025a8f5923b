// Row tables: split tables, lane-major row blocks, chirp blocks; printed examples, the scalar
// reference over random plans for all five instances, exact extent of the writes, MXCSR.
#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "twiddle/table_helpers.hpp"

namespace {

using tov::test::callRowWriter;
using tov::test::Elem;
using tov::test::Instance;
using tov::test::kInstances;
using tov::test::kUntouched;
using tov::test::rowSize;
using tov::test::SentinelTable;

std::string describe(Instance in, bool rc, long length, const std::vector<int>& plan) {
  std::string s = "VL " + std::to_string(in.vl) + " " + elemName(in.e) + (rc ? " split" : " plan") +
                  " length " + std::to_string(length) + " {";
  for (int w : plan) s += std::to_string(w) + ",";
  return s + "}";
}

// Writes into a sentinel array of the reported size and checks every element against the
// reference: values where it writes, the sentinel in gaps and in the guard behind the size.
void checkRow(Instance in, bool rc, long length, const std::vector<int>& plan) {
  const int* words = rc ? nullptr : plan.data();  // the split table must not read the plan
  const std::vector<std::uint64_t> want =
      tov::test::oracleRowTable(in.vl, in.e, rc, length, plan.empty() ? nullptr : plan.data());
  const std::string what = describe(in, rc, length, plan);
  const long size = rowSize(in.vl, rc, length, words);
  ASSERT_EQ(size, static_cast<long>(want.size())) << what;
  SentinelTable table(size, in.e);
  callRowWriter(in, rc, length, words, table.data());
  const std::uint64_t sentinel = SentinelTable(1, in.e).at(0);
  std::vector<std::uint64_t> expected = want;
  for (std::uint64_t& bits : expected) {
    if (bits == kUntouched) bits = sentinel;
  }
  EXPECT_EQ(tov::test::countMismatches(table, expected, what.c_str()), 0);
  EXPECT_TRUE(table.guardIntact()) << what << " wrote past its size";
}

class RowTable : public testing::TestWithParam<Instance> {
 protected:
  void SetUp() override {
    if (!tov::test::cpuRuns(GetParam().e)) {
      GTEST_SKIP() << "processor (or compiler) lacks the instruction set of the "
                   << elemName(GetParam().e) << " writer";
    }
  }
};

// Split tables of the printed lengths, the printed row blocks (VL 4 with L = 5, r = 3 and 5,
// L = 6, r = 2; VL 8 with L = 9, r = 3; the group order for L = 8) and both chirp examples.
TEST_P(RowTable, PrintedExamples) {
  for (long length : {0L, 1L, 2L, 3L, 6L, 8L, 13L, 40L, 41L})
    checkRow(GetParam(), true, length, {});
  for (const std::vector<int>& plan : std::vector<std::vector<int>>{{2, 5, 3},
                                                                    {2, 5, 5},
                                                                    {2, 6, 2},
                                                                    {2, 9, 3},
                                                                    {2, 8, 3},
                                                                    {0x102, 4, 4},
                                                                    {0x103, 2, 3, 4}}) {
    checkRow(GetParam(), false, plan[0] == 0x102 ? 3 : 5, plan);
  }
}

// Random plans: stage blocks of plain and packed entries ending anywhere in a vector block,
// S = 0, 1, 2, r = 1, L < VL, r mod VL = 1, chirp flags from 256 to 0x7FFFFFFF, negative word 0,
// chirp length 0.
TEST_P(RowTable, MatchesScalarReferenceOnRandomPlans) {
  const Instance in = GetParam();
  std::mt19937_64 rng(7 + static_cast<unsigned>(in.vl));
  auto pick = [&](long lo, long hi) { return std::uniform_int_distribution<long>(lo, hi)(rng); };
  for (int trial = 0; trial < 300; ++trial) {
    const int s = static_cast<int>(pick(0, 5));
    std::vector<int> plan = {s, static_cast<int>(pick(0, 4) == 0 ? pick(0, 1) : pick(2, 40))};
    long l = plan[1];
    for (int i = 2; i < s; ++i) {
      const bool packed = pick(0, 3) == 0;
      const int r = static_cast<int>(pick(1, 6)), c = static_cast<int>(pick(0, 2));
      int word = packed ? (r << 16) | c : r;
      long grow = packed ? (c == 0 ? 1 : c == 1 ? r : r * r) : r;
      if (l * grow > 4096) word = 1, grow = 1;
      plan.push_back(word);
      l *= grow;
    }
    if (s >= 2) {
      // The row radix: small, a multiple of VL plus one, or up to 70.
      const long choice = pick(0, 2);
      plan.push_back(static_cast<int>(choice == 0   ? pick(1, 5)
                                      : choice == 1 ? in.vl + 1
                                                    : pick(1, 70)));
      l *= plan.back();
    }
    const long flag = pick(0, 3);
    if (flag == 1) plan[0] |= static_cast<int>(pick(1, 0x7FFFFF)) << 8;
    if (flag == 2) plan[0] |= 0x100;
    if (flag == 3) plan[0] = static_cast<int>(static_cast<unsigned>(plan[0]) | 0x80000000u);
    const long length = plan[0] > 255 ? pick(0, (l + 1) / 2) : pick(-5, 50);
    checkRow(in, false, length, plan);
    if (trial % 4 == 0) checkRow(in, true, pick(0, 600), {});
    if (HasFailure()) break;
  }
}

// A filter block shorter than 2n - 1 lies outside the format; its writes must still stay inside
// the reported size, and block a is unaffected.
TEST_P(RowTable, ShortChirpFilterStaysInsideTheTable) {
  const Instance in = GetParam();
  for (const std::vector<int>& plan :
       std::vector<std::vector<int>>{{0x101, 3}, {0x102, 2, 3}, {0x100, 1}, {0x100, 0}}) {
    for (long length : {2L, 5L, 9L, 40L}) {
      const long size = rowSize(in.vl, false, length, plan.data());
      SentinelTable table(size, in.e);
      callRowWriter(in, false, length, plan.data(), table.data());
      const std::string what = describe(in, false, length, plan);
      EXPECT_TRUE(table.guardIntact()) << what << " wrote past its size";
      const auto blocks = [&](long x) { return (x + in.vl - 1) / in.vl * in.vl; };
      const long m = plan.size() > 2 ? plan[1] * plan[2] : plan[1];
      const long a = size - 2 * blocks(length) - 2 * blocks(m);
      std::vector<std::uint64_t> want;
      for (long j = 0; j < length; ++j)
        tov::test::appendValue(want, j * j % (2 * length), 2 * length, in.e);
      for (long i = 0; i < static_cast<long>(want.size()); ++i) {
        ASSERT_EQ(table.at(a + i), want[static_cast<std::size_t>(i)]) << what << " a element " << i;
      }
    }
  }
}

TEST_P(RowTable, CallerMxcsrChangesNoBitAndComesBackWhole) {
  const Instance in = GetParam();
  const std::vector<int> plan = {0x104, 3, 5, 7, 4};  // stages, rows and chirp with M = 420
  tov::test::expectMxcsrBracket(rowSize(in.vl, false, 100, plan.data()), in.e,
                                [&](void* t) { callRowWriter(in, false, 100, plan.data(), t); });
}

INSTANTIATE_TEST_SUITE_P(Instances, RowTable, testing::ValuesIn(kInstances),
                         [](const testing::TestParamInfo<Instance>& param) {
                           return "VL" + std::to_string(param.param.vl) +
                                  (param.param.e == Elem::f16   ? "Float16"
                                   : param.param.e == Elem::f32 ? "Float"
                                                                : "Double");
                         });

TEST(RowTableLayout, SizesOfThePrintedExamples) {
  // Split tables: 2 * (floor(n/2) rounded up to VL); the plan is not read.
  EXPECT_EQ(tov::fft::getRowTwidTableSize<4>(true, 8, nullptr), 8);
  EXPECT_EQ(tov::fft::getRowTwidTableSize<4>(true, 3, nullptr), 8);
  EXPECT_EQ(tov::fft::getRowTwidTableSize<4>(true, 13, nullptr), 16);
  EXPECT_EQ(tov::fft::getRowTwidTableSize<2>(true, 13, nullptr), 12);
  EXPECT_EQ(tov::fft::getRowTwidTableSize<16>(true, 2, nullptr), 32);
  EXPECT_EQ(tov::fft::getRowTwidTableSize<16>(true, 1, nullptr), 0);
  // Row blocks: twelve, twenty, eight and twenty complex values.
  EXPECT_EQ(tov::fft::getRowTwidTableSize<4>(false, 0, std::vector<int>{2, 5, 3}.data()), 24);
  EXPECT_EQ(tov::fft::getRowTwidTableSize<4>(false, 0, std::vector<int>{2, 5, 5}.data()), 40);
  EXPECT_EQ(tov::fft::getRowTwidTableSize<4>(false, 0, std::vector<int>{2, 6, 2}.data()), 16);
  EXPECT_EQ(tov::fft::getRowTwidTableSize<8>(false, 0, std::vector<int>{2, 9, 3}.data()), 40);
  // Chirp examples: 64 elements; 4 + gap 4 + 40 + 16 + 48.
  EXPECT_EQ(tov::fft::getRowTwidTableSize<4>(false, 3, std::vector<int>{0x102, 4, 4}.data()), 64);
  EXPECT_EQ(tov::fft::getRowTwidTableSize<4>(false, 5, std::vector<int>{0x103, 2, 3, 4}.data()),
            112);
  // A negative word 0 has no chirp flag.
  EXPECT_EQ(tov::fft::getRowTwidTableSize<4>(false, 3, std::vector<int>{-254, 4, 4}.data()), 24);
}

TEST(RowTableLayout, RemainderRowWidths) {
  // With L = 1 the row block is one remainder row of W(r) values.
  const auto width = [](long vl, int r) {
    return rowSize(vl, false, 0, std::vector<int>{2, 1, r}.data()) / 2;
  };
  const int r4[] = {2, 3, 4, 5, 6, 10}, w4[] = {2, 4, 4, 4, 8, 12};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(width(4, r4[i]), w4[i]) << "VL 4, r " << r4[i];
  const int r8[] = {3, 5, 9, 10}, w8[] = {4, 8, 8, 16};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(width(8, r8[i]), w8[i]) << "VL 8, r " << r8[i];
  const int r16[] = {3, 6, 17, 18}, w16[] = {4, 8, 16, 32};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(width(16, r16[i]), w16[i]) << "VL 16, r " << r16[i];
  for (int r = 2; r < 9; ++r) EXPECT_EQ(width(2, r), r % 2 == 0 ? r : r - 1) << "VL 2, r " << r;
}

// Printed float values, independent of the reference's layout.
TEST(RowTableValues, PrintedFloatExamples) {
  TOV_REQUIRE_AVX2();
  // Chirp example: b[0] = (0.0625, +0), b[14] = b[2], b[15] = b[1].
  float c[64];
  tov::fft::writeRowTwidTable<4, float>(false, 3, std::vector<int>{0x102, 4, 4}.data(), c);
  const float* b = c + 32;
  EXPECT_EQ(b[0], 0.0625f);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(b[1]), 0u);
  EXPECT_EQ(b[2 * 1], c[24 + 2] / 16.0f);
  EXPECT_EQ(b[2 * 14 + 1], b[2 * 2 + 1]);
  EXPECT_EQ(b[2 * 15], b[2 * 1]);
  // Split table, length 8: conj w(4, 16) = (-0.0, -1.0).
  float s[8];
  tov::fft::writeRowTwidTable<4, float>(true, 8, nullptr, s);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(s[6]), 0x80000000u);
  EXPECT_EQ(s[7], -1.0f);
  EXPECT_EQ(s[0], 0.9238795f);
  EXPECT_EQ(s[1], -0.38268343f);
}

}  // namespace
