// The CPU-list scanner on arbitrary bytes, in both modes, against a second, deliberately plain
// reading of the list syntax (byte by byte, 64-bit accumulators). Collecting mode must hand over
// exactly the items of the plain reading, each with first <= last; counting mode must give the
// number of CPUs collected whenever that fits in an int, and INT_MAX otherwise.
#include <climits>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "detect/cpu_list.hpp"
#include "fuzz_input.hpp"

namespace {

using Items = std::vector<std::pair<std::int64_t, std::int64_t>>;  // first, last

// An optional '-' and digits within the signed 32-bit range; the accumulator stops growing just
// past the limit, so it cannot overflow.
bool readInt32(std::string_view text, std::size_t& p, std::int64_t& value) {
  const bool negative = p < text.size() && text[p] == '-';
  const std::int64_t limit = negative ? 2147483648 : 2147483647;
  const std::size_t start = negative ? ++p : p;
  for (value = 0; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
    if (value <= limit) value = value * 10 + (text[p] - '0');
  }
  if (negative) value = -value;
  return p != start && value <= limit && value >= -limit;
}

// The items of a CPU list up to the first place that breaks the grammar; a range that does not
// ascend names its first number alone.
Items plainItems(std::string_view text) {
  Items items;
  std::int64_t first = 0, last = 0;
  for (std::size_t p = 0; p < text.size() && readInt32(text, p, first);) {
    const bool range = p < text.size() && text[p] == '-';
    const bool complete = !range || readInt32(text, ++p, last);
    items.emplace_back(first, range && complete && last > first ? last : first);
    if (!complete) break;
    while (p < text.size() && (text[p] == ',' || text[p] == '\n')) ++p;
  }
  return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tov::fuzz::require;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Items collected;
  std::int64_t cpus = 0;
  tov::detail::scanCpuList(text, [&](tov::detail::CpuRange range) {
    require(range.first <= range.last);
    collected.emplace_back(range.first, range.last);
    cpus += std::int64_t{range.last} - range.first + 1;
  });
  require(collected == plainItems(text));
  require(tov::detail::countCpuList(text) == (cpus <= INT_MAX ? cpus : INT_MAX));
  return 0;
}
