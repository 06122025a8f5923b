// Column tables: printed examples, the scalar reference over random plans, exact extent of the
// writes, and the MXCSR bracket.
#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "twiddle/table_helpers.hpp"

namespace {

using tov::test::Elem;
using tov::test::SentinelTable;

constexpr Elem kElems[] = {Elem::f32, Elem::f64, Elem::f16};

// Writes the column table of `plan` into a sentinel array of the size getColTwidTableSize
// reports, checks it against the reference and that nothing past that size was touched.
void checkPlan(const std::vector<int>& plan, Elem e) {
  const std::vector<std::uint64_t> want = tov::test::oracleColTable(plan.data(), e);
  const long size = tov::fft::getColTwidTableSize(plan.data());
  ASSERT_EQ(size, static_cast<long>(want.size()));
  SentinelTable table(size, e);
  tov::test::callColWriter(plan.data(), e, table.data());
  std::string what = "plan {";
  for (int w : plan) what += std::to_string(w) + ",";
  what += "}";
  EXPECT_EQ(tov::test::countMismatches(table, want, what.c_str()), 0);
  EXPECT_TRUE(table.guardIntact()) << what << " wrote past its size";
}

class ColTable : public testing::TestWithParam<Elem> {
 protected:
  void SetUp() override {
    if (!tov::test::cpuRuns(GetParam())) {
      GTEST_SKIP() << "processor (or compiler) lacks the instruction set of the "
                   << elemName(GetParam()) << " writer";
    }
  }
};

TEST_P(ColTable, WorkedExampleBeginsWithThePrintedValues) {
  const std::vector<int> plan = {3, 4, 4, 2};
  const Elem e = GetParam();
  ASSERT_EQ(tov::fft::getColTwidTableSize(plan.data()), 48);
  SentinelTable table(48, e);
  tov::test::callColWriter(plan.data(), e, table.data());
  if (e == Elem::f32) {
    const float first[10] = {0.9238795f, 0.38268343f, 0.70710677f, 0.70710677f, 0.38268343f,
                             0.9238795f, 0.70710677f, 0.70710677f, -0.0f,       1.0f};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(table.at(i), std::bit_cast<std::uint32_t>(first[i]));
  }
  // w(4, 16) = (-0.0, 1.0) in every type, the sign of zero included; w(8, 32) too.
  const std::uint64_t negZero = e == Elem::f16   ? 0x8000
                                : e == Elem::f32 ? 0x80000000u
                                                 : std::uint64_t{1} << 63;
  const std::uint64_t one = e == Elem::f16   ? 0x3C00
                            : e == Elem::f32 ? 0x3F800000u
                                             : 0x3FF0000000000000u;
  EXPECT_EQ(table.at(8), negZero);
  EXPECT_EQ(table.at(9), one);
  EXPECT_EQ(table.at(18 + 2 * 7), negZero);  // second stage, k = 8 of N = 32
  EXPECT_EQ(table.at(18 + 2 * 7 + 1), one);
  if (e == Elem::f16) {
    EXPECT_EQ(table.at(2), 0x39A8u);  // 0.70703125
  }
  checkPlan(plan, e);
}

TEST_P(ColTable, PackedEntryEqualsItsPlainStages) {
  const Elem e = GetParam();
  // Radix 2 packed three times after L = 2: w(1, 4), w(1..3, 8), w(1..7, 16).
  const std::vector<int> packed = {2, 2, (2 << 16) | 3};
  const std::vector<int> plain = {4, 2, 2, 2, 2};
  ASSERT_EQ(tov::fft::getColTwidTableSize(packed.data()), 2 * (1 + 3 + 7));
  SentinelTable a(22, e), b(22, e);
  tov::test::callColWriter(packed.data(), e, a.data());
  tov::test::callColWriter(plain.data(), e, b.data());
  EXPECT_EQ(a.bytes, b.bytes);
  checkPlan(packed, e);
}

TEST_P(ColTable, DegeneratePlansWriteNothing) {
  const Elem e = GetParam();
  // S = 0 and 1, first factor 0 and 1 before real stages, radix-1 and count-0 entries.
  for (const std::vector<int>& plan :
       std::vector<std::vector<int>>{{0, 7, 5},
                                     {1, 9, 9},
                                     {0x301, 9, 9},
                                     {3, 0, 4, 8},
                                     {2, 1, (1 << 16) | 5},
                                     {4, 6, 1, (3 << 16) | 0, (1 << 16) | 40000}}) {
    EXPECT_EQ(tov::fft::getColTwidTableSize(plan.data()), 0);
    checkPlan(plan, e);
  }
  // A first factor of 1 writes nothing in the first stage, but its radix still counts.
  checkPlan({3, 1, 5, 3}, e);
  EXPECT_EQ(tov::fft::getColTwidTableSize(std::vector<int>{3, 1, 5, 3}.data()), 2 * 4 * 2);
}

// Random plans: plain and packed entries, radix 1, count 0, first factor 0 and 1, S = 0 and 1,
// chirp bits in word 0, with running lengths kept to table sizes a test can afford.
TEST_P(ColTable, MatchesScalarReferenceOnRandomPlans) {
  std::mt19937_64 rng(42);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int trial = 0; trial < 400; ++trial) {
    const int s = pick(0, 7);
    std::vector<int> plan = {s | (pick(0, 3) == 0 ? pick(1, 0x7FFFFF) << 8 : 0)};
    const int firstChoice = pick(0, 9);
    long l = firstChoice == 0 ? 0 : firstChoice == 1 ? 1 : pick(2, 60);
    plan.push_back(static_cast<int>(l));
    for (int i = 1; i < s; ++i) {
      int word;
      long grow;
      if (pick(0, 3) == 0) {
        const int r = pick(1, 7), c = pick(0, 3);
        word = (r << 16) | c;
        grow = 1;
        for (int j = 0; j < c; ++j) grow *= r;
      } else {
        const int r = pick(1, 3) == 1 ? pick(1, 5) : pick(1, 40);
        word = r;
        grow = r;
      }
      if (l * grow > (1L << 16)) word = 1, grow = 1;
      plan.push_back(word);
      l *= grow;
    }
    checkPlan(plan, GetParam());
    if (HasFailure()) break;
  }
}

// A 2^20-point radix-4 plan: the long vector loops, compared in full.
TEST_P(ColTable, MatchesScalarReferenceOnALargePlan) {
  checkPlan({10, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4}, GetParam());
  checkPlan({5, 3, 5, 7, 11, 13 * 16}, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Types, ColTable, testing::ValuesIn(kElems),
                         [](const testing::TestParamInfo<Elem>& param) {
                           return std::string(param.param == Elem::f16   ? "Float16"
                                              : param.param == Elem::f32 ? "Float"
                                                                         : "Double");
                         });

// N = 143360 gives half subnormals.
TEST_P(ColTable, CallerMxcsrChangesNoBitAndComesBackWhole) {
  const std::vector<int> plan = {3, 5, 7, 4096};
  tov::test::expectMxcsrBracket(
      tov::fft::getColTwidTableSize(plan.data()), GetParam(),
      [&](void* t) { tov::test::callColWriter(plan.data(), GetParam(), t); });
  checkPlan(plan, GetParam());
}

}  // namespace
