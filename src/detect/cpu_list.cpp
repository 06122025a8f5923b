#include "detect/cpu_list.hpp"

#include <algorithm>
#include <limits>

namespace tov::detail {

namespace {
constexpr std::uint64_t kCountCap = std::numeric_limits<int>::max();
}  // namespace

int countCpuList(std::string_view text) {
  // Each item adds at most 2^32, so a total kept at or below kCountCap never wraps.
  std::uint64_t count = 0;
  scanCpuList(text, [&count](CpuRange range) {
    const auto width = static_cast<std::uint64_t>(std::int64_t{range.last} - range.first) + 1;
    count = std::min(count + width, kCountCap);
  });
  return static_cast<int>(count);
}

}  // namespace tov::detail
