// Hardware detection of the tov_core library: how many logical CPUs, cores, dies and packages the
// calling thread may use, and the description of a data-cache level of the CPU it runs on. Every
// call asks the kernel afresh; nothing is cached.
#pragma once

#include <cstdint>
#include <string>

#include "tov/export.hpp"

namespace tov {

// Logical CPUs in the calling thread's affinity mask; 1 when the mask cannot be obtained.
TOV_API int detectCpus();
// detectCpus() lowered to the CPU bandwidth limit of the calling process's cgroup and its
// ancestors (cgroup v2 cpu.max, cgroup v1 cpu.cfs_quota_us / cpu.cfs_period_us; the tightest one
// wins), rounded up and never below 1. A container's CPU limit leaves every CPU of the machine in
// the affinity mask: size thread pools by this count.
TOV_API int detectAvailableCpus();
// Distinct cores, dies and packages among those CPUs, from the kernel's topology lists
// (/sys/devices/system/cpu/cpuN/topology/{core,die,package}_cpus_list; on kernels without them,
// thread_siblings_list for cores and core_siblings_list for packages, and one die per package).
// A CPU without a list file counts as a group of its own; 1 when the mask cannot be obtained.
TOV_API int detectCores();
TOV_API int detectDies();
TOV_API int detectPackages();

// One level of the data-cache hierarchy. All fields 0 describe no cache.
struct CacheInfo {
  std::uint32_t size = 0;       // KiB
  std::int32_t sharedCpus = 0;  // logical CPUs sharing the cache
  std::uint32_t lineSize = 0;   // bytes
  std::uint32_t sets = 0;
  std::uint32_t ways = 0;
};

// The data or unified cache of `level` (1, 2, 3 as the kernel numbers them) of the CPU the calling
// thread runs on, read from /sys/devices/system/cpu/cpuN/cache/indexI. Missing attribute files
// take defaults (size 32 KiB << level, 1 sharing CPU, 64-byte lines, 0 sets, 0 ways). A level
// deeper than the last cache gives the last cache below it; a level with no cache at or below it
// gives all zeros. Where the kernel publishes no cache directory for the CPU at all (some
// hypervisor guests), the same description comes from CPUID (Intel, Zhaoxin, Centaur: leaf 4; AMD,
// Hygon: leaf 0x8000001D, or the legacy leaves 0x80000005/6), with the sharing count taken from
// the APIC IDs in /proc/cpuinfo.
TOV_API CacheInfo detectDataCache(int level);

// "{48 KiB, 2, 64 B, 64, 12}": size, sharing CPUs, line size, sets, ways.
TOV_API std::string toString(const CacheInfo& info);

}  // namespace tov
