#include "detect/topology.hpp"

#include <algorithm>
#include <cstdint>
#include <string>

#include "detect/cpu_list.hpp"
#include "detect/sysfs.hpp"
#include "tov/detect.hpp"

namespace tov::detail {

namespace {

int countOf(const AffinityMask& mask) { return CPU_COUNT_S(mask.bytes, mask.set.get()); }

bool contains(const AffinityMask& mask, int cpu) {
  return CPU_ISSET_S(static_cast<std::size_t>(cpu), mask.bytes, mask.set.get());
}

// Clears the CPUs of `range` other than `keep`. Only the part of the range that lies inside the
// set is walked, so "0-2147483647" costs at most the set's size and no memory; negative numbers
// and numbers beyond the set's capacity are ignored.
void clearOthers(const AffinityMask& mask, int keep, CpuRange range) {
  const std::int64_t capacity = static_cast<std::int64_t>(mask.bytes) * 8;
  const std::int64_t low = std::max<std::int64_t>(range.first, 0);
  const std::int64_t high = std::min<std::int64_t>(range.last, capacity - 1);
  for (std::int64_t cpu = low; cpu <= high; ++cpu) {
    if (cpu != keep) CPU_CLR_S(static_cast<std::size_t>(cpu), mask.bytes, mask.set.get());
  }
}

}  // namespace

int threadAffinity(std::size_t bytes, cpu_set_t* set) { return sched_getaffinity(0, bytes, set); }

std::optional<AffinityMask> obtainAffinityMask(const AffinitySource& source) {
  for (int bits = kFirstMaskBits; bits <= kLastMaskBits; bits *= 2) {
    CpuSetPtr set(CPU_ALLOC(bits));
    if (!set) return std::nullopt;
    const std::size_t bytes = CPU_ALLOC_SIZE(bits);
    CPU_ZERO_S(bytes, set.get());
    // Whatever the reason of a failure (errno is not consulted), the next size is tried; the
    // set of the failed size is freed as `set` goes out of scope.
    if (source(bytes, set.get()) == 0) return AffinityMask{std::move(set), bytes};
  }
  return std::nullopt;
}

int countCpus(const AffinitySource& source) {
  const std::optional<AffinityMask> mask = obtainAffinityMask(source);
  return mask ? countOf(*mask) : 1;
}

int countTopologyGroups(std::string_view root, std::span<const char* const> lists,
                        const AffinitySource& source) {
  const std::optional<AffinityMask> mask = obtainAffinityMask(source);
  if (!mask) return 1;
  int count = countOf(*mask);
  const int capacity = static_cast<int>(mask->bytes * 8);
  // Every CPU below `cpu` that is still set has been visited, so while visited < count a set CPU
  // lies at or above `cpu`: the walk ends inside the set. The bound on cpu is a second guard.
  for (int visited = 0, cpu = 0; visited < count && cpu < capacity; ++cpu) {
    if (!contains(*mask, cpu)) continue;
    const std::string directory = cpuDirectory(root, cpu);
    std::string members;
    for (const char* list : lists) {
      members = readFile((directory + list).c_str());
      if (!members.empty()) break;
    }
    scanCpuList(members, [&](CpuRange range) { clearOthers(*mask, cpu, range); });
    count = countOf(*mask);
    ++visited;
  }
  return count;
}

}  // namespace tov::detail

namespace tov {

int detectCpus() { return detail::countCpus(detail::threadAffinity); }

int detectCores() {
  return detail::countTopologyGroups(detail::kSysfsCpuRoot, detail::kCoreLists,
                                     detail::threadAffinity);
}

int detectDies() {
  return detail::countTopologyGroups(detail::kSysfsCpuRoot, detail::kDieLists,
                                     detail::threadAffinity);
}

int detectPackages() {
  return detail::countTopologyGroups(detail::kSysfsCpuRoot, detail::kPackageLists,
                                     detail::threadAffinity);
}

}  // namespace tov
