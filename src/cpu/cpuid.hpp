// The one place that executes CPUID and XGETBV. Detection (the cache fallback), configuration
// (detectArchitecture) and the twiddle writers' load-time resolvers all read the processor here;
// everything that interprets the words takes them through a parameter, so that tests can feed
// recorded or hostile values.
//
// Internal linkage on purpose: the resolvers run inside the dynamic loader, before sanitizer
// runtimes start, from a file built without instrumentation. Each file keeps its own copy rather
// than sharing one inline definition (one COMDAT) with instrumented code.
#pragma once

#include <cpuid.h>
#include <immintrin.h>

#include <cstdint>

namespace tov::detail {

// The four words one CPUID leaf and subleaf answer.
struct CpuidRegs {
  std::uint32_t eax = 0;
  std::uint32_t ebx = 0;
  std::uint32_t ecx = 0;
  std::uint32_t edx = 0;
};

// CPUID on the CPU the calling thread runs on. The processor answers any leaf; whether the leaf
// exists (leaf 0 and 0x80000000 EAX) is the caller's question.
static inline CpuidRegs readCpuid(std::uint32_t leaf, std::uint32_t subleaf) {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid_count(leaf, subleaf, eax, ebx, ecx, edx);
  return CpuidRegs{eax, ebx, ecx, edx};
}

// XCR0; the caller must have seen OSXSAVE (leaf 1 ECX bit 27), without which XGETBV faults.
// XGETBV needs the xsave target for this function only; everything else stays baseline.
[[gnu::target("xsave")]] static inline std::uint64_t readXcr0() { return _xgetbv(0); }

}  // namespace tov::detail
