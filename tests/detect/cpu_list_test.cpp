// The CPU-list scanner on lists the kernel writes and on malformed ones, in counting mode (the
// topology tests apply collected ranges).
#include "detect/cpu_list.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <string_view>
#include <utility>

TEST(CpuList, CountsItemsUpToTheFirstMalformedOneSaturating) {
  const std::pair<std::string_view, int> cases[] = {
      {"0-3,,\n8\n", 5},
      {"3-1,7", 2},  // a descending range names its first number
      {"-2-1", 4},
      {"5--3,6", 2},  // the second '-' signs the range's end
      {"0-1 2-3", 2},
      {"+1,2", 0},
      {std::string_view("6\n\0", 3), 1},  // trailing NUL of some arm64 kernels
      {"1,2\r\n3", 2},
      {"1,2147483648,3", 1},                // one past INT32_MAX
      {"7-2147483648,1", 1},                // not 7, then -2147483648 and 1
      {"-2147483648-2147483647", INT_MAX},  // 2^32 numbers
      {"2-2147483647", INT_MAX - 1},
      {"0-2147483646,0-2147483646", INT_MAX},
  };
  for (const auto& [text, count] : cases) {
    EXPECT_EQ(tov::detail::countCpuList(text), count) << '"' << text << '"';
  }
}
