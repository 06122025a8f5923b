#include "detect/cpu_list.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "detect/sysfs.hpp"

namespace {

using tov::detail::appendDecimal;
using tov::detail::countCpuList;
using tov::detail::CpuRange;
using tov::detail::scanCpuList;

// Every number the list names, in order (collecting mode expanded; only for small lists).
std::vector<int> collect(std::string_view text) {
  std::vector<int> cpus;
  scanCpuList(text, [&cpus](CpuRange range) {
    for (std::int64_t cpu = range.first; cpu <= range.last; ++cpu) {
      cpus.push_back(static_cast<int>(cpu));
    }
  });
  return cpus;
}

using Cpus = std::vector<int>;

TEST(CpuList, NumbersRangesAndSeparators) {
  EXPECT_EQ(collect("0-3,8\n"), (Cpus{0, 1, 2, 3, 8}));
  EXPECT_EQ(countCpuList("0-3,8\n"), 5);
  EXPECT_EQ(collect("1,,\n\n,5\n"), (Cpus{1, 5}));
  EXPECT_EQ(collect("3-1,7"), (Cpus{3, 7}));  // a descending range names its first number
  EXPECT_EQ(collect("4-4"), (Cpus{4}));
  EXPECT_EQ(collect("-2-1"), (Cpus{-2, -1, 0, 1}));
  EXPECT_EQ(collect("5--3,6"), (Cpus{5, 6}));  // the second '-' signs the range's end
  EXPECT_EQ(collect(""), Cpus{});
}

TEST(CpuList, StopsAtFirstMalformedItemKeepingWhatCameBefore) {
  EXPECT_EQ(collect("0-1 2-3"), (Cpus{0, 1}));
  EXPECT_EQ(collect("6\n\0"), Cpus{6});  // trailing NUL written by some arm64 kernels
  EXPECT_EQ(collect("1,2\r\n3"), (Cpus{1, 2}));
  EXPECT_EQ(collect("7-"), Cpus{7});
  EXPECT_EQ(collect("7-x,9"), Cpus{7});
  EXPECT_EQ(collect("+1"), Cpus{});
  EXPECT_EQ(collect(" 1"), Cpus{});
  EXPECT_EQ(collect(",1"), Cpus{});
  EXPECT_EQ(collect("1,2147483648,3"), Cpus{1});  // one past INT32_MAX
  EXPECT_EQ(collect("1,-2147483649"), Cpus{1});
  EXPECT_EQ(collect("7-2147483648,1"), Cpus{7});  // not 7, then -2147483648 and 1
  EXPECT_EQ(countCpuList("x"), 0);
}

TEST(CpuList, RangesArriveWholeAndCountsSaturate) {
  std::vector<std::pair<int, int>> items;
  scanCpuList("-2147483648-2147483647,0-2147483647",
              [&items](CpuRange range) { items.emplace_back(range.first, range.last); });
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0], std::make_pair(INT_MIN, INT_MAX));
  EXPECT_EQ(items[1], std::make_pair(0, INT_MAX));
  // 2^32 numbers in one range, 2^31 in another: the count stops at INT32_MAX instead of wrapping.
  EXPECT_EQ(countCpuList("-2147483648-2147483647"), INT_MAX);
  EXPECT_EQ(countCpuList("0-2147483647"), INT_MAX);
  EXPECT_EQ(countCpuList("1-2147483647"), INT_MAX);
  EXPECT_EQ(countCpuList("2-2147483647"), INT_MAX - 1);
  EXPECT_EQ(countCpuList("0-2147483646,0-2147483646"), INT_MAX);
}

// Random lists of small numbers built together with what they name: items separated by runs of
// ',' and '\n', now and then a malformed tail after which nothing more counts.
TEST(CpuListFuzz, GeneratedListsOfSmallNumbersNameWhatWasWritten) {
  std::mt19937 random(20261206);
  const auto uniform = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  // Malformed tails: where a number is expected, or right after a number.
  const std::string beforeNumber[] = {" 1", "\r1", "x1", "+1", std::string(1, '\0') + "1"};
  const std::string afterNumber[] = {"-", "-y", "- 1", "-+1", " 1", "\r\n2"};
  for (int iteration = 0; iteration < 20000; ++iteration) {
    std::string text;
    Cpus expected;
    bool stopped = false;
    const int items = uniform(0, 6);
    for (int item = 0; item < items; ++item) {
      if (item > 0) {
        const int separators = uniform(1, 3);
        for (int i = 0; i < separators; ++i) text += uniform(0, 1) ? ',' : '\n';
      }
      if (uniform(0, 9) == 0) {
        if (item == 0 && uniform(0, 1)) {
          text += ",1";  // separators are skipped only after an item
        } else if (uniform(0, 1)) {
          text += beforeNumber[uniform(0, 4)];
        } else {
          const int first = uniform(-20, 20);
          appendDecimal(text, first);
          text += afterNumber[uniform(0, 5)];
          expected.push_back(first);
        }
        stopped = true;
        break;
      }
      const int first = uniform(-20, 20);
      appendDecimal(text, first);
      expected.push_back(first);
      if (uniform(0, 1)) {
        const int last = uniform(-20, 20);
        text += '-';
        appendDecimal(text, last);
        for (int cpu = first + 1; cpu <= last; ++cpu) expected.push_back(cpu);
      }
    }
    if (!stopped && uniform(0, 1)) text += '\n';
    const Cpus collected = collect(text);
    ASSERT_EQ(collected, expected) << '"' << text << '"';
    ASSERT_EQ(countCpuList(text), static_cast<int>(collected.size())) << '"' << text << '"';
  }
}

// Arbitrary bytes, digits and list punctuation favoured: the scanner must neither crash nor
// misbehave (the sanitize build checks), every item is well formed, and the count equals the sum
// of the items' widths, capped.
TEST(CpuListFuzz, RandomBytes) {
  std::mt19937 random(6);
  const std::string favoured = "0123456789-,\n";
  for (int iteration = 0; iteration < 50000; ++iteration) {
    std::string text(std::uniform_int_distribution<std::size_t>(0, 40)(random), '\0');
    for (char& byte : text) {
      const unsigned roll = random();
      byte =
          roll % 4 != 0 ? favoured[(roll >> 8) % favoured.size()] : static_cast<char>(roll >> 16);
    }
    std::uint64_t width = 0;
    std::size_t items = 0;
    bool ordered = true;
    scanCpuList(text, [&](CpuRange range) {
      ++items;
      ordered = ordered && range.first <= range.last;
      width += static_cast<std::uint64_t>(std::int64_t{range.last} - range.first) + 1;
    });
    ASSERT_TRUE(ordered) << '"' << text << '"';
    ASSERT_LE(items, text.size());
    const std::uint64_t capped = width < INT_MAX ? width : INT_MAX;
    ASSERT_EQ(static_cast<std::uint64_t>(countCpuList(text)), capped) << '"' << text << '"';
  }
}

}  // namespace
