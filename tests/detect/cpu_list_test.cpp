#include "detect/cpu_list.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "detect/sysfs.hpp"

namespace {

using tov::detail::countCpuList;
using tov::detail::CpuRange;
using Cpus = std::vector<int>;

// Every number the list names, in order (only for lists of small numbers).
Cpus collect(std::string_view text) {
  Cpus cpus;
  tov::detail::scanCpuList(text, [&cpus](CpuRange range) {
    for (std::int64_t cpu = range.first; cpu <= range.last; ++cpu) cpus.push_back(int(cpu));
  });
  return cpus;
}

TEST(CpuList, ItemsUpToTheFirstMalformedOne) {
  const std::pair<std::string_view, Cpus> cases[] = {
      {"0-3,8\n", {0, 1, 2, 3, 8}},
      {"1,,\n\n,5\n", {1, 5}},
      {"3-1,7", {3, 7}},  // a descending range names its first number
      {"-2-1", {-2, -1, 0, 1}},
      {"5--3,6", {5, 6}},  // the second '-' signs the range's end
      {"0-1 2-3", {0, 1}},
      {std::string_view("6\n\0", 3), {6}},  // trailing NUL of some arm64 kernels
      {"1,2\r\n3", {1, 2}},
      {"7-x,9", {7}},
      {"+1", {}},
      {",1", {}},
      {"1,2147483648,3", {1}},  // one past INT32_MAX
      {"7-2147483648,1", {7}},  // not 7, then -2147483648 and 1
  };
  for (const auto& [text, cpus] : cases) {
    EXPECT_EQ(collect(text), cpus) << '"' << text << '"';
    EXPECT_EQ(countCpuList(text), int(cpus.size())) << '"' << text << '"';
  }
}

TEST(CpuList, CountsOfHugeRangesSaturate) {
  EXPECT_EQ(countCpuList("-2147483648-2147483647"), INT_MAX);  // 2^32 numbers
  EXPECT_EQ(countCpuList("1-2147483647"), INT_MAX);
  EXPECT_EQ(countCpuList("2-2147483647"), INT_MAX - 1);
  EXPECT_EQ(countCpuList("0-2147483646,0-2147483646"), INT_MAX);
}

// Random lists of small numbers, built together with the numbers they name: items separated by
// runs of ',' and '\n', now and then a malformed tail after which nothing counts.
TEST(CpuListFuzz, GeneratedListsNameWhatWasWritten) {
  std::mt19937 random(20261206);
  const auto uniform = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  const std::string beforeNumber[] = {" 1", "\r1", "x1", "+1", std::string(1, '\0') + "1", ",1"};
  const std::string afterNumber[] = {"-", "-y", "- 1", "-+1", " 1", "\r\n2"};
  for (int iteration = 0; iteration < 20000; ++iteration) {
    std::string text;
    Cpus expected;
    const int items = uniform(0, 6);
    for (int item = 0; item < items; ++item) {
      for (int i = item > 0 ? uniform(1, 3) : 0; i > 0; --i) text += uniform(0, 1) ? ',' : '\n';
      const int first = uniform(-20, 20);
      const int tail = uniform(0, 19);
      if (tail == 0) {
        // A comma where a number is expected stops only at the start: elsewhere it separates.
        text += beforeNumber[uniform(0, item == 0 ? 5 : 4)];
        break;
      }
      tov::detail::appendDecimal(text, first);
      expected.push_back(first);
      if (tail == 1) {
        text += afterNumber[uniform(0, 5)];
        break;
      }
      if (tail % 2 == 0) {
        const int last = uniform(-20, 20);
        text += '-';
        tov::detail::appendDecimal(text, last);
        for (int cpu = first + 1; cpu <= last; ++cpu) expected.push_back(cpu);
      }
    }
    ASSERT_EQ(collect(text), expected) << '"' << text << '"';
    ASSERT_EQ(countCpuList(text), int(expected.size())) << '"' << text << '"';
  }
}

// Arbitrary bytes, digits and list punctuation favoured: no crash or undefined behaviour (the
// sanitize build checks), ordered items, and a count equal to their widths, capped.
TEST(CpuListFuzz, RandomBytes) {
  std::mt19937 random(6);
  const std::string favoured = "0123456789-,\n";
  for (int iteration = 0; iteration < 50000; ++iteration) {
    std::string text(random() % 41, '\0');
    for (char& byte : text) {
      const unsigned roll = random();
      byte = roll % 4 ? favoured[(roll >> 8) % favoured.size()] : char(roll >> 16);
    }
    std::int64_t width = 0;
    tov::detail::scanCpuList(text, [&](CpuRange range) {
      ASSERT_LE(range.first, range.last) << '"' << text << '"';
      width += std::int64_t{range.last} - range.first + 1;
    });
    ASSERT_EQ(countCpuList(text), std::min<std::int64_t>(width, INT_MAX)) << '"' << text << '"';
  }
}

}  // namespace
