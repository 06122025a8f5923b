// Logical-CPU count from the calling thread's affinity mask and counts of the topology groups
// (cores, dies, packages) those CPUs belong to.
#pragma once

#include <sched.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace tov::detail {

// Fills `set` (of `bytes` bytes) with the CPUs the calling thread may use; 0 on success, as
// sched_getaffinity(0, bytes, set) does. A parameter, so that tests can stand in for the kernel.
using AffinitySource = std::function<int(std::size_t bytes, cpu_set_t* set)>;

// The calling thread's own mask, through the kernel.
int threadAffinity(std::size_t bytes, cpu_set_t* set);

struct CpuSetFree {
  void operator()(cpu_set_t* set) const noexcept { CPU_FREE(set); }
};
using CpuSetPtr = std::unique_ptr<cpu_set_t, CpuSetFree>;

// A CPU set and the byte size for which the affinity source filled it; every sized macro gets
// `bytes`.
struct AffinityMask {
  CpuSetPtr set;
  std::size_t bytes = 0;
};

// Mask sizes tried, in bits: 256, 512, ..., 2^23 (16 sizes, 32 bytes to 1 MiB). The kernel
// refuses a buffer smaller than its own CPU mask, so the set doubles until it fits.
inline constexpr int kFirstMaskBits = 256;
inline constexpr int kLastMaskBits = 1 << 23;

// The mask, or nothing when no set could be allocated or the source failed at every size.
std::optional<AffinityMask> obtainAffinityMask(const AffinitySource& source);

// CPUs in the mask; 1 when there is no mask.
int countCpus(const AffinitySource& source);

// Distinct groups among the CPUs of the mask, as told by the list files
// root + "/cpuN" + listSuffix. Each CPU visited in ascending order stays as the representative of
// its group and clears the other members it lists; a CPU without a list file is a group of its
// own. Returns 1 when there is no mask, the CPU count when it is 0 or less.
int countTopologyGroups(std::string_view root, const char* listSuffix,
                        const AffinitySource& source);

}  // namespace tov::detail
