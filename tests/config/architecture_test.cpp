#include <gtest/gtest.h>

#include "config/classify_architecture.hpp"
#include "tov/config.hpp"

namespace {

using tov::Architecture;
using tov::detail::classifyArchitecture;
using tov::detail::CpuidWords;

constexpr std::uint32_t kFmaOsxsaveAvx = (1u << 12) | (1u << 27) | (1u << 28);
constexpr std::uint32_t kAvx2 = 1u << 5;
constexpr std::uint32_t kAvx512FDqVl = (1u << 16) | (1u << 17) | (1u << 31);
constexpr std::uint32_t kBw = 1u << 30;
constexpr std::uint32_t kFp16 = 1u << 23;
constexpr std::uint64_t kXcr0Full = 0xE7;  // x87, SSE, AVX, opmask, ZMM_Hi256, Hi16_ZMM

// Runs the decision and records how often XCR0 was read.
Architecture classify(CpuidWords words, std::uint64_t xcr0, int* xcr0Reads = nullptr) {
  int reads = 0;
  const Architecture result = classifyArchitecture(words, [&] {
    ++reads;
    return xcr0;
  });
  if (xcr0Reads != nullptr) *xcr0Reads = reads;
  return result;
}

TEST(ClassifyArchitecture, MissingLeaf1FeatureIsUnsupportedWithoutReadingXcr0) {
  for (std::uint32_t missing : {1u << 12, 1u << 27, 1u << 28}) {
    int reads = -1;
    const CpuidWords words{7, kFmaOsxsaveAvx & ~missing, kAvx2 | kAvx512FDqVl | kBw, kFp16};
    EXPECT_EQ(classify(words, kXcr0Full, &reads), Architecture::unsupported) << missing;
    // Without OSXSAVE, XGETBV would fault; it must not be issued at all.
    if (missing == (1u << 27)) {
      EXPECT_EQ(reads, 0);
    }
  }
}

TEST(ClassifyArchitecture, OsWithoutAvxStateIsUnsupported) {
  const CpuidWords words{7, kFmaOsxsaveAvx, kAvx2, 0};
  EXPECT_EQ(classify(words, 0x3), Architecture::unsupported);  // SSE only
  EXPECT_EQ(classify(words, 0x5), Architecture::unsupported);  // AVX without SSE state
  int reads = 0;
  EXPECT_EQ(classify(words, 0x7, &reads), Architecture::avx2);
  EXPECT_EQ(reads, 1);
}

TEST(ClassifyArchitecture, NoAvx2OrNoLeaf7IsUnsupported) {
  EXPECT_EQ(classify({7, kFmaOsxsaveAvx, kAvx512FDqVl, 0}, kXcr0Full), Architecture::unsupported);
  // A highest leaf below 7: whatever the leaf-7 words hold, they are not feature bits.
  EXPECT_EQ(classify({6, kFmaOsxsaveAvx, kAvx2 | kAvx512FDqVl, 0}, kXcr0Full),
            Architecture::unsupported);
}

TEST(ClassifyArchitecture, Avx512NeedsAllThreeFeaturesAndOsState) {
  for (std::uint32_t missing : {1u << 16, 1u << 17, 1u << 31}) {
    EXPECT_EQ(
        classify({7, kFmaOsxsaveAvx, kAvx2 | (kAvx512FDqVl & ~missing) | kBw, kFp16}, kXcr0Full),
        Architecture::avx2);
  }
  for (std::uint64_t xcr0 : {0x07u, 0x27u, 0x67u, 0xA7u, 0xC7u}) {
    EXPECT_EQ(classify({7, kFmaOsxsaveAvx, kAvx2 | kAvx512FDqVl | kBw, kFp16}, xcr0),
              Architecture::avx2);
  }
}

TEST(ClassifyArchitecture, Fp16NeedsBw) {
  const std::uint32_t ebx = kAvx2 | kAvx512FDqVl;
  EXPECT_EQ(classify({7, kFmaOsxsaveAvx, ebx, kFp16}, kXcr0Full), Architecture::avx512);
  EXPECT_EQ(classify({7, kFmaOsxsaveAvx, ebx | kBw, 0}, kXcr0Full), Architecture::avx512);
  EXPECT_EQ(static_cast<int>(classify({0xD, kFmaOsxsaveAvx, ebx | kBw, kFp16}, kXcr0Full)), 274);
}

TEST(DetectArchitecture, AgreesWithTheCompilersView) {
  __builtin_cpu_init();
  Architecture expected = Architecture::unsupported;
  if (__builtin_cpu_supports("avx") && __builtin_cpu_supports("fma") &&
      __builtin_cpu_supports("avx2")) {
    expected = Architecture::avx2;
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
        __builtin_cpu_supports("avx512vl")) {
      expected = Architecture::avx512;
#if defined(__clang__) && __clang_major__ < 15
      // This clang cannot ask for avx512fp16; take the CPUID bit directly.
      const bool fp16 = (tov::detail::readCpuidWords().leaf7Edx & (1u << 23)) != 0;
#else
      const bool fp16 = __builtin_cpu_supports("avx512fp16");
#endif
      if (fp16 && __builtin_cpu_supports("avx512bw")) expected = Architecture::avx512fp16;
    }
  }
  EXPECT_EQ(tov::detectArchitecture(), expected) << tov::toString(tov::detectArchitecture());
}

}  // namespace
