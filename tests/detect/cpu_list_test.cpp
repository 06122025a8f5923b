#include "detect/cpu_list.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "list_reference.hpp"

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

// Arbitrary bytes, digits and list punctuation favoured: the items are those of the plain,
// independent reading the fuzz targets use (each ascending), and the count is their width, capped.
// The sanitize build checks for undefined behaviour.
TEST(CpuListFuzz, RandomBytesReadAsThePlainReferenceReadsThem) {
  std::mt19937 random(6);
  const std::string favoured = "0123456789-,\n";
  for (int iteration = 0; iteration < 50000; ++iteration) {
    std::string text(random() % 41, '\0');
    for (char& byte : text) {
      const unsigned roll = random();
      byte = roll % 4 ? favoured[(roll >> 8) % favoured.size()] : char(roll >> 16);
    }
    std::vector<std::pair<std::int64_t, std::int64_t>> items, expected;
    std::int64_t width = 0;
    tov::detail::scanCpuList(text, [&](CpuRange range) {
      items.emplace_back(range.first, range.last);
      width += std::int64_t{range.last} - range.first + 1;
    });
    for (const tov::fuzz::Range& range : tov::fuzz::cpuListRanges(text)) {
      expected.emplace_back(range.first, range.last);
    }
    ASSERT_EQ(items, expected) << '"' << text << '"';
    ASSERT_EQ(countCpuList(text), std::min<std::int64_t>(width, INT_MAX)) << '"' << text << '"';
  }
}

}  // namespace
