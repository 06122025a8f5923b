// The topology and cache readers over a synthetic sysfs tree whose file contents come from the
// input, compared with a plain model of both walks built on list_reference.hpp.
//
// Input: fields separated by '|' (so no file holds that byte):
//   0      the requested cache level, a decimal number (anything else reads as 0)
//   1      the affinity mask: bit i of its first byte puts CPU i in (empty: CPUs 0-7)
//   2-9    cpuI/topology/core_cpus_list for I = 0..7
//   10-37  cpu0/cache/indexI/{type, level, size, shared_cpu_list, coherency_line_size,
//          number_of_sets, ways_of_associativity} for I = 0..3
// An empty or absent field leaves its file out. The tree lives in one directory per process
// (under TMPDIR; /dev/shm keeps it in memory) and is rewritten for every input.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "detect/data_cache.hpp"
#include "detect/sysfs.hpp"
#include "detect/sysfs_tree.hpp"
#include "detect/topology.hpp"
#include "list_reference.hpp"

namespace {

using tov::fuzz::require;
using tov::test::kCacheFiles;

constexpr int kCpus = 8;
constexpr int kIndexes = 4;
constexpr int kCacheFileCount = static_cast<int>(std::size(kCacheFiles));
constexpr std::size_t kFields = 2 + kCpus + kIndexes * kCacheFileCount;
constexpr const char* kCoreSuffix = "/topology/core_cpus_list";

// The synthetic tree; an empty content leaves the file out.
void put(const tov::test::SysfsTree& tree, const std::string& relative, std::string_view content) {
  std::error_code ignored;
  std::filesystem::remove(tree.root() + relative, ignored);
  if (!content.empty()) tree.write(relative.substr(1), content);
}

std::string cacheFile(int index, int file) {
  return "/cpu0/cache/index" + std::to_string(index) + "/" + kCacheFiles[file];
}

// The group walk on a plain array of 256 flags: each CPU visited in ascending order clears the
// other CPUs its list names, until the CPUs visited reach the CPUs left.
int modelGroups(std::uint8_t maskBits, const std::array<std::string_view, kCpus>& lists) {
  constexpr int kCapacity = 256;  // the first set size tried, which the fake source accepts
  std::array<bool, kCapacity> mask{};
  for (int cpu = 0; cpu < kCpus; ++cpu) mask[cpu] = (maskBits >> cpu & 1) != 0;
  const auto countSet = [&mask] {
    int count = 0;
    for (bool set : mask) count += set ? 1 : 0;
    return count;
  };
  int count = countSet();
  for (int visited = 0, cpu = 0; visited < count; ++cpu) {
    require(cpu < kCpus);  // every set CPU is below 8, and each one visited stays set
    if (!mask[cpu]) continue;
    for (const tov::fuzz::Range& range : tov::fuzz::cpuListRanges(lists[cpu])) {
      for (std::int64_t other = std::max<std::int64_t>(range.first, 0);
           other <= std::min<std::int64_t>(range.last, kCapacity - 1); ++other) {
        if (other != cpu) mask[other] = false;
      }
    }
    count = countSet();
    ++visited;
  }
  return count;
}

// The cache walk over the fields: index order, data and unified entries at or below the level
// write their fields over the result, an entry of exactly the level ends the scan.
tov::CacheInfo modelCache(std::int64_t level,
                          const std::array<std::string_view, kIndexes * kCacheFileCount>& files) {
  tov::CacheInfo info;
  for (int index = 0; index < kIndexes; ++index) {
    const std::string_view* entry = &files[index * kCacheFileCount];
    if (entry[0].empty()) return info;
    if (entry[0][0] != 'D' && entry[0][0] != 'U') continue;
    const std::optional<std::int64_t> entryLevel = tov::fuzz::leadingInt32(entry[1]);
    if (!entryLevel || *entryLevel > level) continue;
    const auto field = [entry](int file, std::uint32_t fallback, std::uint32_t& value) {
      if (entry[file].empty()) {
        value = fallback;
      } else if (const auto number = tov::fuzz::leadingUint32(entry[file])) {
        value = *number;
      }
    };
    // 32 KiB << level while that fits in 32 bits, "unknown" (0) beyond.
    const std::uint32_t defaultSize =
        *entryLevel >= 0 && *entryLevel <= 26 ? std::uint32_t{32} << *entryLevel : 0;
    field(2, defaultSize, info.size);
    const std::int64_t shared = tov::fuzz::cpuCount(tov::fuzz::cpuListRanges(entry[3]));
    info.sharedCpus =
        shared <= 0 ? 1 : static_cast<std::int32_t>(std::min<std::int64_t>(shared, INT32_MAX));
    field(4, 64, info.lineSize);
    field(5, 0, info.sets);
    field(6, 0, info.ways);
    if (*entryLevel == level) return info;
  }
  return info;  // index4 has no type file
}

bool operator==(const tov::CacheInfo& a, const tov::CacheInfo& b) {
  return a.size == b.size && a.sharedCpus == b.sharedCpus && a.lineSize == b.lineSize &&
         a.sets == b.sets && a.ways == b.ways;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const tov::test::SysfsTree tree;
  require(!tree.root().empty());
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::array<std::string_view, kFields> fields{};
  std::size_t start = 0;
  for (std::size_t i = 0; i < kFields && start <= input.size(); ++i) {
    const std::size_t bar = input.find('|', start);
    const std::size_t end = bar == std::string_view::npos ? input.size() : bar;
    fields[i] = input.substr(start, end - start);
    start = end + 1;
  }

  int level = 0;
  std::from_chars(fields[0].data(), fields[0].data() + fields[0].size(), level);
  const std::uint8_t maskBits = fields[1].empty() ? 0xFF : static_cast<std::uint8_t>(fields[1][0]);

  std::array<std::string_view, kCpus> lists{};
  for (int cpu = 0; cpu < kCpus; ++cpu) {
    lists[cpu] = fields[2 + cpu];
    put(tree, "/cpu" + std::to_string(cpu) + kCoreSuffix, lists[cpu]);
  }
  std::array<std::string_view, kIndexes * kCacheFileCount> cacheFiles{};
  for (int index = 0; index < kIndexes; ++index) {
    for (int file = 0; file < kCacheFileCount; ++file) {
      const std::size_t slot = index * kCacheFileCount + file;
      cacheFiles[slot] = fields[2 + kCpus + slot];
      put(tree, cacheFile(index, file), cacheFiles[slot]);
    }
  }

  const auto affinity = [maskBits](std::size_t bytes, cpu_set_t* set) {
    for (int cpu = 0; cpu < kCpus; ++cpu) {
      if (maskBits >> cpu & 1) CPU_SET_S(static_cast<std::size_t>(cpu), bytes, set);
    }
    return 0;
  };
  const int groups = tov::detail::countTopologyGroups(tree.root(), kCoreSuffix, affinity);
  require(groups == modelGroups(maskBits, lists));
  require(groups <= tov::detail::countCpus(affinity));

  const tov::CacheInfo info = tov::detail::describeDataCache(tree.root(), 0, level);
  require(info == modelCache(level, cacheFiles));
  // A failed sched_getcpu (negative) reads CPU 0.
  require(tov::detail::describeDataCache(tree.root(), -1, level) == info);
  return 0;
}
