// The decision behind detectArchitecture, separated from the instructions that read the
// processor so that every branch can be tested with synthetic register values.
#pragma once

#include <cstdint>

#include "cpu/cpuid.hpp"
#include "tov/config.hpp"

namespace tov::detail {

// The CPUID words the decision looks at. Leaf 7 is only meaningful when maxLeaf >= 7; the
// reader leaves it zero otherwise.
struct CpuidWords {
  std::uint32_t maxLeaf;   // leaf 0, EAX
  std::uint32_t leaf1Ecx;  // leaf 1, ECX
  std::uint32_t leaf7Ebx;  // leaf 7 subleaf 0, EBX
  std::uint32_t leaf7Edx;  // leaf 7 subleaf 0, EDX
};

// Leaf 1 ECX: FMA (bit 12), OSXSAVE (27), AVX (28).
constexpr std::uint32_t kLeaf1FmaOsxsaveAvx = 0x18001000;
// XCR0 bits 1-2: the OS saves SSE and AVX state, without which ymm registers are not preserved.
constexpr std::uint64_t kXcr0AvxState = 0x6;
// Leaf 7 EBX bit 5: AVX2.
constexpr std::uint32_t kLeaf7Avx2 = 1u << 5;
// Leaf 7 EBX: AVX512F (16), AVX512DQ (17), AVX512VL (31).
constexpr std::uint32_t kLeaf7Avx512FDqVl = 0x80030000;
// XCR0 bits 5-7 (opmask, ZMM_Hi256, Hi16_ZMM): unless the OS saves all three, AVX-512 registers
// are not preserved across context switches, so the level stays avx2.
constexpr std::uint64_t kXcr0Avx512State = 0xE0;
// Leaf 7 EBX bit 30 (AVX512BW) and EDX bit 23 (AVX512-FP16) together add the fp16 bit.
constexpr std::uint32_t kLeaf7Avx512Bw = 1u << 30;
constexpr std::uint32_t kLeaf7Avx512Fp16 = 1u << 23;
constexpr std::int32_t kFp16LevelBit = 0x100;

// Classifies the processor described by `cpuid`. `readXcr0` is called at most once, and only
// after OSXSAVE has been seen: executing XGETBV without it faults.
template <class ReadXcr0>
Architecture classifyArchitecture(const CpuidWords& cpuid, ReadXcr0&& readXcr0) {
  if ((cpuid.leaf1Ecx & kLeaf1FmaOsxsaveAvx) != kLeaf1FmaOsxsaveAvx)
    return Architecture::unsupported;
  const std::uint64_t xcr0 = readXcr0();
  if ((xcr0 & kXcr0AvxState) != kXcr0AvxState) return Architecture::unsupported;
  // Below leaf 7 the processor answers with the data of its highest leaf, which says nothing
  // about AVX2.
  if (cpuid.maxLeaf < 7) return Architecture::unsupported;
  if ((cpuid.leaf7Ebx & kLeaf7Avx2) == 0) return Architecture::unsupported;
  if ((cpuid.leaf7Ebx & kLeaf7Avx512FDqVl) != kLeaf7Avx512FDqVl ||
      (xcr0 & kXcr0Avx512State) != kXcr0Avx512State) {
    return Architecture::avx2;
  }
  const bool fp16 =
      (cpuid.leaf7Edx & kLeaf7Avx512Fp16) != 0 && (cpuid.leaf7Ebx & kLeaf7Avx512Bw) != 0;
  return fp16 ? static_cast<Architecture>(static_cast<std::int32_t>(Architecture::avx512) |
                                          kFp16LevelBit)
              : Architecture::avx512;
}

// The words above from `cpuid` (leaf, subleaf -> CpuidRegs); leaf 7 only when it exists.
template <class ReadCpuid>
CpuidWords gatherCpuidWords(ReadCpuid&& cpuid) {
  CpuidWords words{};
  words.maxLeaf = cpuid(0u, 0u).eax;
  words.leaf1Ecx = cpuid(1u, 0u).ecx;
  if (words.maxLeaf >= 7) {
    const CpuidRegs leaf7 = cpuid(7u, 0u);
    words.leaf7Ebx = leaf7.ebx;
    words.leaf7Edx = leaf7.edx;
  }
  return words;
}

// The running processor's level, read through the one CPUID and XCR0 reader. Internal linkage,
// like the reader: the uninstrumented load-time resolvers get a copy of their own.
static inline Architecture classifyRunningProcessor() {
  return classifyArchitecture(gatherCpuidWords([](std::uint32_t leaf, std::uint32_t subleaf) {
                                return readCpuid(leaf, subleaf);
                              }),
                              [] { return readXcr0(); });
}

}  // namespace tov::detail
