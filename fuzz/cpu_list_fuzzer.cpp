// The CPU-list scanner on arbitrary bytes, in both modes. Collecting mode must hand over exactly
// the items of the plain reading in list_reference.hpp, each with first <= last; counting mode
// must give the number of CPUs collected whenever that fits in an int, and INT_MAX otherwise.
#include <climits>
#include <cstdint>
#include <string_view>
#include <vector>

#include "detect/cpu_list.hpp"
#include "list_reference.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tov::fuzz::require;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  std::vector<tov::fuzz::Range> collected;
  tov::detail::scanCpuList(text, [&collected](tov::detail::CpuRange range) {
    require(range.first <= range.last);
    collected.push_back({range.first, range.last});
  });
  const std::vector<tov::fuzz::Range> expected = tov::fuzz::cpuListRanges(text);
  require(collected.size() == expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    require(collected[i].first == expected[i].first && collected[i].last == expected[i].last);
  }

  const std::int64_t cpus = tov::fuzz::cpuCount(collected);
  const int count = tov::detail::countCpuList(text);
  require(count == (cpus <= INT_MAX ? cpus : INT_MAX));
  return 0;
}
