// Logical-CPU count from the calling thread's affinity mask and counts of the topology groups
// (cores, dies, packages) those CPUs belong to.
#pragma once

#include <sched.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
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

// The list files that name the members of a CPU's core, die or package, newest name first: each
// CPU reads the first of them that is present and not empty. Kernels before 5.3 publish only the
// older names (thread_siblings_list for the core, core_siblings_list for the package) and know no
// dies; newer arm64 kernels publish no die list either. Without a die list a package is one die,
// so the die level falls back on the package lists.
inline constexpr const char* kCoreLists[] = {"/topology/core_cpus_list",
                                             "/topology/thread_siblings_list"};
inline constexpr const char* kDieLists[] = {
    "/topology/die_cpus_list", "/topology/package_cpus_list", "/topology/core_siblings_list"};
inline constexpr const char* kPackageLists[] = {"/topology/package_cpus_list",
                                                "/topology/core_siblings_list"};

// Distinct groups among the CPUs of the mask, as told by each CPU's list file
// root + "/cpuN" + one of `lists`. Each CPU visited in ascending order stays as the representative
// of its group and clears the other members it lists; a CPU without any of the files is a group of
// its own. Returns 1 when there is no mask, the CPU count when it is 0 or less.
int countTopologyGroups(std::string_view root, std::span<const char* const> lists,
                        const AffinitySource& source);

}  // namespace tov::detail
