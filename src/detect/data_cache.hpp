// Description of one data-cache level from the kernel's cache directories
// root/cpuN/cache/indexI (I = 0 to 39), or from CPUID where the kernel publishes none.
#pragma once

#include <cstdint>
#include <string_view>

#include "tov/detect.hpp"

namespace tov::detail {

// Default size, in KiB, of a cache entry of `level` without a size file: 32 << level (64 for L1,
// 128 for L2, 256 for L3). A deliberately small guess that grows with the level as real caches
// do, so that a caller that blocks its work for the cache still gets blocks that fit. A level
// below 0 or above 26 would shift by a negative amount or out of the 32-bit field; no cache has
// such a level, so the size is then 0, "unknown".
std::uint32_t defaultCacheSize(int level);

// The data or unified cache of `level` of CPU `cpu` (a negative cpu, a failed sched_getcpu, reads
// CPU 0). Entries are taken in index order up to the first index without a type file; each data
// or unified entry of a level at or below `level` writes its fields over the result, and the
// first entry of exactly `level` ends the scan. An entry whose level file does not start with a
// number cannot be placed in the hierarchy and is skipped.
CacheInfo describeDataCache(std::string_view root, int cpu, int level);

// Where a description came from: the kernel's cache directories, CPUID, or nowhere (no
// directory, and CPUID describes no cache at or below the level).
enum class CacheSource { none, sysfs, cpuid };

struct SourcedCache {
  CacheInfo info;
  CacheSource source = CacheSource::none;
};

// detectDataCache with its file locations as parameters. The current CPU's directories under
// `sysfsRoot` answer whenever root/cpuN/cache exists, even with files missing; only without it
// does CPUID answer, read on the current CPU with the facts of `cpuinfoPath`, and read again if
// the thread moved to another CPU meanwhile (hybrid processors describe each core type's caches).
SourcedCache findDataCache(std::string_view sysfsRoot, const char* cpuinfoPath, int level);

}  // namespace tov::detail
