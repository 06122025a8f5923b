// What the kernel says about the online CPUs in /proc/cpuinfo, for the CPUID cache fallback.
#pragma once

#include <string_view>

#include "detect/cpuid_cache.hpp"

namespace tov::detail {

inline constexpr const char* kProcCpuinfo = "/proc/cpuinfo";

// Facts from the text of /proc/cpuinfo: a "processor : N" line opens the block of CPU N, an
// "apicid : A" line inside it gives that CPU's APIC ID. onlineCpus counts the blocks (at least 1);
// the APIC IDs are known only when every block states one, and `cpu`'s own only when it has a
// block. Blanks and tabs around the colon are ignored; a value that is not a decimal number in
// 32 bits counts as missing.
CpuFacts parseCpuinfo(std::string_view text, int cpu);

}  // namespace tov::detail
