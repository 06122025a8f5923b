// checkTwidPlan: the transform length of a plan inside the format, -1 for each way out of it.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "tov/fft/twiddle.hpp"

namespace {

struct PlanCase {
  std::vector<int> plan;
  bool row;
  long length;  // chirp points
  long expected;
};

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

}  // namespace
