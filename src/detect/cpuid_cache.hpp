// Data caches from the processor's own description (CPUID), for machines whose kernel publishes
// no cache directory in sysfs (some hypervisor guests). The decoder is pure: it reads words
// through a CpuidSource and takes what the operating system says about the CPUs as CpuFacts, so
// that recorded processors and hostile words can be fed to it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "cpu/cpuid.hpp"
#include "tov/detect.hpp"

namespace tov::detail {

// CPUID of (leaf, subleaf), as the CPU the calling thread runs on answers it.
using CpuidSource = std::function<CpuidRegs(std::uint32_t leaf, std::uint32_t subleaf)>;

// The kernel's view of the CPUs: how many are online and their APIC IDs (the apicid lines of
// /proc/cpuinfo). A hypervisor's CPUID may show the host's APIC IDs, which is why the sharing
// count takes the kernel's numbering rather than CPUID's.
struct CpuFacts {
  int onlineCpus = 1;
  std::optional<std::uint32_t> apicId;  // the current CPU's
  std::vector<std::uint32_t> apicIds;   // every online CPU's; empty when unknown
};

// The data or unified cache of `level` as CPUID describes it, with the sysfs scan's rules: entries
// in the processor's order, instruction caches skipped, the first entry of exactly `level` wins,
// a level deeper than the last cache gives the last one below it, no cache gives all zeros.
// Intel, Zhaoxin and Centaur: leaf 4. AMD and Hygon: leaf 0x8000001D when its subleaf 0 has a
// cache type, else the legacy leaves 0x80000005 (L1) and 0x80000006 (L2, and L3 before family
// 0x17). Other vendors: nothing. Words that describe no plausible cache give nothing, never a
// hang or an overflow.
CacheInfo decodeCpuidCache(const CpuidSource& cpuid, const CpuFacts& facts, int level);

}  // namespace tov::detail
