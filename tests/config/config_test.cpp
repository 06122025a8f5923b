#include "tov/config.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <locale>
#include <sstream>
#include <unordered_set>

#include "config/classify_architecture.hpp"

namespace {

using tov::Architecture;
using tov::ConfigItem;
using tov::Configuration;
using tov::Parameter;

constexpr std::uint32_t kFma = 1u << 12, kOsxsave = 1u << 27, kAvx = 1u << 28;
constexpr std::uint32_t kAvx2 = 1u << 5, kBw = 1u << 30, kFp16 = 1u << 23;
constexpr std::uint32_t kF = 1u << 16, kDq = 1u << 17, kVl = 1u << 31;
constexpr std::uint32_t kLeaf1 = kFma | kOsxsave | kAvx;
constexpr std::uint32_t kAll7 = kAvx2 | kF | kDq | kVl | kBw;
constexpr std::uint64_t kXcr0Full = 0xE7;  // x87, SSE, AVX, opmask, ZMM_Hi256, Hi16_ZMM

struct Machine {
  tov::detail::CpuidWords cpuid;  // highest leaf, leaf 1 ECX, leaf 7 EBX, leaf 7 EDX
  std::uint64_t xcr0;
  Architecture expected;
  int xcr0Reads;  // XGETBV faults without OSXSAVE, so it is read only after that check
};

TEST(ClassifyArchitecture, EachMissingFeatureGivesTheLevelBelow) {
  using A = Architecture;
  const Machine machines[] = {
      {{0xD, kLeaf1, kAll7, kFp16}, kXcr0Full, A::avx512fp16, 1},
      {{7, kLeaf1 & ~kFma, kAll7, kFp16}, kXcr0Full, A::unsupported, 0},
      {{7, kLeaf1 & ~kOsxsave, kAll7, kFp16}, kXcr0Full, A::unsupported, 0},
      {{7, kLeaf1 & ~kAvx, kAll7, kFp16}, kXcr0Full, A::unsupported, 0},
      {{7, kLeaf1, kAll7, kFp16}, 0x3, A::unsupported, 1},  // the OS saves SSE state only
      {{7, kLeaf1, kAll7, kFp16}, 0x5, A::unsupported, 1},  // AVX state without SSE state
      {{7, kLeaf1, kAll7 & ~kAvx2, kFp16}, kXcr0Full, A::unsupported, 1},
      // Below leaf 7 the processor answers leaf 7 with its highest leaf's data: no feature bits.
      {{6, kLeaf1, kAll7, kFp16}, kXcr0Full, A::unsupported, 1},
      {{7, kLeaf1, kAvx2, 0}, 0x7, A::avx2, 1},
      {{7, kLeaf1, kAll7 & ~kF, kFp16}, kXcr0Full, A::avx2, 1},
      {{7, kLeaf1, kAll7 & ~kDq, kFp16}, kXcr0Full, A::avx2, 1},
      {{7, kLeaf1, kAll7 & ~kVl, kFp16}, kXcr0Full, A::avx2, 1},
      // The OS must save all three AVX-512 states (XCR0 bits 5-7).
      {{7, kLeaf1, kAll7, kFp16}, 0x67, A::avx2, 1},
      {{7, kLeaf1, kAll7, kFp16}, 0xA7, A::avx2, 1},
      {{7, kLeaf1, kAll7, kFp16}, 0xC7, A::avx2, 1},
      {{7, kLeaf1, kAll7, 0}, kXcr0Full, A::avx512, 1},
      {{7, kLeaf1, kAll7 & ~kBw, kFp16}, kXcr0Full, A::avx512, 1},  // FP16 counts only with BW
  };
  for (std::size_t i = 0; i < std::size(machines); ++i) {
    int reads = 0;
    const Architecture got = tov::detail::classifyArchitecture(machines[i].cpuid, [&] {
      ++reads;
      return machines[i].xcr0;
    });
    EXPECT_EQ(got, machines[i].expected) << "machine " << i;
    EXPECT_EQ(reads, machines[i].xcr0Reads) << "machine " << i;
  }
  EXPECT_EQ(static_cast<int>(Architecture::avx512fp16), 274);
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
      // clang 14 cannot ask for avx512fp16: the CPUID bit is read directly.
      const bool fp16 = (tov::detail::readCpuid(7, 0).edx & kFp16) != 0;
      if (fp16 && __builtin_cpu_supports("avx512bw")) expected = Architecture::avx512fp16;
    }
  }
  EXPECT_EQ(tov::detectArchitecture(), expected) << tov::toString(tov::detectArchitecture());
}

// A level runs the code of every level it nests; sve256 shares bit 0x100 with avx512fp16 only.
using A = Architecture;
static_assert(tov::supports(A::avx512fp16, A::avx2) && tov::supports(A::avx512, A::avx512));
static_assert(!tov::supports(A::avx2, A::avx512) && !tov::supports(A::avx512, A::avx512fp16));
static_assert(!tov::supports(A::sve256, A::avx512fp16) && !tov::supports(A::sve256, A::avx2));
static_assert(!tov::supports(A::unsupported, A::avx2) && !tov::supports(A::detect, A::avx2));

ConfigItem item(std::int32_t parameter, std::int32_t value) {
  return {static_cast<Parameter>(parameter), value};
}

TEST(ConfigItem, HashAndEqualityLookAtTheParameterOnly) {
  for (const std::int32_t parameter : {INT32_MIN, -256, -1, 0, 1, 0x100, 0x113, INT32_MAX}) {
    const ConfigItem a = item(parameter, 4), b = item(parameter, ~4);
    // The argument is hashed, not *this; a negative parameter is sign-extended.
    EXPECT_EQ(item(0x101, 9)(a), static_cast<std::size_t>(std::int64_t{parameter}));
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);
    EXPECT_FALSE(a == item(parameter ^ 1, 4));
    EXPECT_TRUE(a != item(parameter ^ 1, 4));
  }
  std::unordered_set<ConfigItem, ConfigItem> set{item(0x100, 4), item(0x100, 16), item(0x101, 2)};
  EXPECT_EQ(set.size(), 2u);
  const auto found = set.find(item(0x100, 0));
  ASSERT_NE(found, set.end());
  EXPECT_EQ(found->value, 4);
}

TEST(Configuration, LookupFindsTheFirstMatchOrZero) {
  const Configuration empty;
  EXPECT_EQ(empty.get(Parameter::threads), 0);
  EXPECT_EQ(empty.getArchitecture(), Architecture::detect);

  Configuration cfg{{item(0x100, 4), item(1, 2), item(0x100, 16), item(-7, INT32_MIN)}};
  cfg.items.push_back(item(1, 18));
  EXPECT_EQ(cfg.get(Parameter::threads), 4);
  EXPECT_EQ(cfg.get(Parameter::l1size), 0);
  EXPECT_EQ(cfg.get(static_cast<Parameter>(-7)), INT32_MIN);
  EXPECT_EQ(cfg.getArchitecture(), Architecture::avx2);

  // A stored detect reads the same as none; it is not replaced by the detected level, and a
  // value that is no level comes back as it is.
  EXPECT_EQ((Configuration{{item(1, 0), item(1, 2)}}).getArchitecture(), Architecture::detect);
  EXPECT_EQ((Configuration{{item(1, -9)}}).getArchitecture(), static_cast<Architecture>(-9));
}

TEST(Configuration, TextForms) {
  const std::pair<Configuration, const char*> texts[] = {
      {{}, "{}"},
      {{{item(1, 2), item(0x100, 8)}}, "{Architecture::avx2, {Parameter::threads, 8}}"},
      {{{item(1, 5), item(0x101, 2)}}, "{, {Parameter::teams, 2}}"},
      {{{item(0x100, 8), item(0x101, -1), item(0x111, 0), item(0x112, 1048576),
         item(0x113, INT32_MIN), item(0, INT32_MAX)}},
       "{{Parameter::threads, 8}, {Parameter::teams, -1}, {Parameter::l1size, 0}, "
       "{Parameter::l2size, 1048576}, {Parameter::l3size, -2147483648}, "
       "{Parameter::invalid, 2147483647}}"},
      // Unnamed parameter numbers, near the named ones or far, print the value alone.
      {{{item(258, 7), item(0x114, -5), item(-1, 0), item(300, -1)}},
       "{{Parameter::7}, {Parameter::-5}, {Parameter::0}, {Parameter::-1}}"},
      // Architecture items are written as the architecture's text: the enumerator's name, and
      // nothing for any other value, even one made of level bits.
      {{{item(1, 0), item(1, 1), item(1, 2), item(1, 18), item(1, 274), item(1, 0x20100),
         item(1, 3), item(1, 0x10), item(1, 0x100), item(1, 0x20000), item(1, -1)}},
       "{Architecture::detect, Architecture::unsupported, Architecture::avx2, "
       "Architecture::avx512, Architecture::avx512fp16, Architecture::sve256, , , , , }"},
  };
  for (const auto& [cfg, text] : texts) {
    EXPECT_EQ(cfg.toString(), text);
    std::ostringstream streamed;
    streamed << cfg << '|';
    EXPECT_EQ(streamed.str(), std::string(text) + '|');
  }
}

// Digit grouping in the global locale must not reach the text forms.
struct Thousands : std::numpunct<char> {
  char do_thousands_sep() const override { return ','; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(Configuration, TextIgnoresTheGlobalLocale) {
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new Thousands));
  std::ostringstream out;
  out << item(0x111, 65536) << '|' << Configuration{{item(0x112, 1048576)}};
  std::locale::global(previous);
  EXPECT_EQ(out.str(), "{Parameter::l1size, 65536}|{{Parameter::l2size, 1048576}}");
}

}  // namespace
