// Every exported function of the configuration, detection and problem-descriptor parts called
// with the extreme values of its argument types. Run under the sanitize preset, these also prove
// the absence of undefined behaviour (signed overflow, shifts, out-of-bounds accesses); the
// checks below pin what the library documents for such inputs.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tov/config.hpp"
#include "tov/detect.hpp"
#include "tov/fft/dims.hpp"

namespace {

using tov::Architecture;
using tov::ConfigItem;
using tov::Configuration;
using tov::Parameter;
using tov::fft::InplaceDim;
using tov::fft::OoplaceDim;

constexpr std::int32_t kInt32Edges[] = {
    INT32_MIN, INT32_MIN + 1, -65536,   -256, -2,  -1,  0,   1,   2,   3,   17,
    18,        255,           256,      257,  258, 272, 273, 274, 275, 276, 0x100,
    0x20100,   INT32_MAX - 1, INT32_MAX};

std::string decimal(long long value) { return std::to_string(value); }

// The six enumerators by name; every other value, near them or far, gives an empty text.
TEST(HostileConfig, ArchitectureTextIsEmptyExceptForTheSixEnumerators) {
  const std::pair<std::int32_t, const char*> named[] = {
      {0, "Architecture::detect"},         {1, "Architecture::unsupported"},
      {2, "Architecture::avx2"},           {0x12, "Architecture::avx512"},
      {0x112, "Architecture::avx512fp16"}, {0x20100, "Architecture::sve256"}};
  std::vector<std::int32_t> values(std::begin(kInt32Edges), std::end(kInt32Edges));
  for (std::int32_t v = -4096; v <= 0x21000; ++v) values.push_back(v);
  for (std::int32_t bit = 0; bit < 31; ++bit) values.push_back(std::int32_t{1} << bit);
  for (const std::int32_t value : values) {
    std::string expected;
    for (const auto& [number, text] : named) {
      if (number == value) expected = text;
    }
    EXPECT_EQ(tov::toString(static_cast<Architecture>(value)), expected) << value;
  }
}

TEST(HostileConfig, ItemsOfAnyParameterAndValue) {
  Configuration configuration;
  for (const std::int32_t parameter : kInt32Edges) {
    for (const std::int32_t value : kInt32Edges) {
      const ConfigItem item{static_cast<Parameter>(parameter), value};
      configuration.items.push_back(item);
      EXPECT_EQ(item(ConfigItem{}), 0u);  // the argument is hashed, not *this
      EXPECT_EQ(ConfigItem{}(item), static_cast<std::size_t>(std::int64_t{parameter}));
      EXPECT_TRUE(item == (ConfigItem{item.parameter, ~value}));
      EXPECT_FALSE(item != (ConfigItem{item.parameter, ~value}));

      const std::string text = item.toString();
      std::ostringstream streamed;
      streamed << item;
      EXPECT_EQ(streamed.str(), text);
      if (parameter == 1) {
        EXPECT_EQ(text, tov::toString(static_cast<Architecture>(value)));
      } else {
        // Named or not, the value closes the text in full decimal.
        EXPECT_EQ(text.rfind("{Parameter::", 0), 0u) << text;
        const std::string tail = decimal(value) + "}";
        EXPECT_EQ(text.compare(text.size() - tail.size(), tail.size(), tail), 0) << text;
      }
    }
  }
  // The first item of each parameter carries the value INT32_MIN; absent parameters read 0.
  for (const std::int32_t parameter : kInt32Edges) {
    EXPECT_EQ(configuration.get(static_cast<Parameter>(parameter)), INT32_MIN) << parameter;
  }
  EXPECT_EQ(configuration.get(static_cast<Parameter>(4)), 0);
  EXPECT_EQ(configuration.getArchitecture(), static_cast<Architecture>(INT32_MIN));
  const std::string text = configuration.toString();
  std::ostringstream streamed;
  streamed << configuration;
  EXPECT_EQ(streamed.str(), text);
  EXPECT_EQ(text.front(), '{');
  EXPECT_EQ(text.back(), '}');
  EXPECT_EQ(Configuration{}.toString(), "{}");
}

TEST(HostileDetect, CacheLevelsOfEveryMagnitude) {
  // No kernel numbers a cache level 0 or below, so those levels describe nothing.
  const std::string zero = "{0 KiB, 0, 0 B, 0, 0}";
  for (const int level : {INT_MIN, INT_MIN + 1, -1000, -1, 0}) {
    EXPECT_EQ(tov::toString(tov::detectDataCache(level)), zero) << level;
  }
  // Every level above the deepest cache gives the same description: the deepest data or unified
  // entry below it (all zeros on a machine without cache directories).
  const std::string deepest = tov::toString(tov::detectDataCache(INT_MAX));
  for (const int level : {64, 65536, INT_MAX - 1}) {
    EXPECT_EQ(tov::toString(tov::detectDataCache(level)), deepest) << level;
  }
}

template <class Dim>
Dim canary(std::uint8_t fill) {
  Dim dim;
  std::memset(&dim, fill, sizeof dim);
  return dim;
}

template <class Dim>
bool sameBytes(const Dim* a, const Dim* b, std::size_t count = 1) {
  return std::memcmp(a, b, count * sizeof(Dim)) == 0;
}

// Any 64-bit value, biased towards the ones that break careless arithmetic.
std::int64_t anyValue(std::mt19937_64& random) {
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kEdges[] = {0,  0,    1,    2,        3,         -1,           -2,
                                     -3, kMin, kMax, kMin + 1, 1LL << 32, -(1LL << 32), 1LL << 62};
  const auto pick = random() % 18;
  if (pick < std::size(kEdges)) return kEdges[pick];
  return pick == 14 ? static_cast<std::int64_t>(random())
                    : static_cast<std::int64_t>(random() % 17) - 8;
}

std::int64_t firstStride(const InplaceDim& dim) { return dim.stride; }
std::int64_t firstStride(const OoplaceDim& dim) { return dim.istride; }

// Random records of ranks 0 to 8, laid out as canary, dims[0..rank), canary, batch, canary.
// The size functions write nothing and give the same sizes before and after canonicalization;
// canonicalization writes only the records and the batch (n of the transform records never; a
// batch n only from 0 to 1; a stride only from 0, except the fixed RC innermost strides), and a
// second canonicalization changes nothing.
template <class Dim, class Canonicalize, class MinSize>
void checkRecords(bool rc, Canonicalize canonicalize, MinSize minSize) {
  std::mt19937_64 random(7);
  for (int trial = 0; trial < 4000; ++trial) {
    const unsigned long rank = random() % 9;
    std::vector<Dim> block(rank + 4);
    for (unsigned long i = 1; i <= rank + 2; ++i) {
      std::int64_t fields[3] = {anyValue(random), anyValue(random), anyValue(random)};
      static_assert(sizeof(Dim) == sizeof fields);
      std::memcpy(&block[i], fields, sizeof fields);
    }
    block[0] = canary<Dim>(0xA5);
    block[rank + 1] = canary<Dim>(0x5A);
    block[rank + 3] = canary<Dim>(0xC3);
    Dim* dims = rank == 0 ? nullptr : &block[1];
    Dim* batch = &block[rank + 2];

    const std::vector<Dim> before = block;
    const auto size = minSize(rank, dims, batch);
    ASSERT_TRUE(sameBytes(before.data(), block.data(), block.size())) << "trial " << trial;

    const auto largest = canonicalize(rank, dims, batch);
    ASSERT_TRUE(sameBytes(&block[0], &before[0]));
    ASSERT_TRUE(sameBytes(&block[rank + 1], &before[rank + 1]));
    ASSERT_TRUE(sameBytes(&block[rank + 3], &before[rank + 3]));
    for (unsigned long i = 1; i <= rank; ++i) {
      ASSERT_EQ(block[i].n, before[i].n);
      const std::int64_t was = firstStride(before[i]);
      if (rc && i == rank) {
        ASSERT_EQ(firstStride(block[i]), 1);
      } else if (was != 0) {
        ASSERT_EQ(firstStride(block[i]), was);
      }
    }
    ASSERT_EQ(batch->n, before[rank + 2].n == 0 ? 1 : before[rank + 2].n);
    ASSERT_EQ(minSize(rank, dims, batch), size) << "trial " << trial;

    const std::vector<Dim> canonical = block;
    ASSERT_EQ(canonicalize(rank, dims, batch), largest) << "trial " << trial;
    ASSERT_TRUE(sameBytes(canonical.data(), block.data(), block.size())) << "trial " << trial;
  }
}

TEST(HostileDims, SizesNeverWriteAndCanonicalizationWritesOnlyWhatItDocuments) {
  using namespace tov::fft;
  const auto sizeCC = [](unsigned long r, const auto* d, const auto* b) {
    return getMinSizeCC(r, d, b);
  };
  const auto sizeRC = [](unsigned long r, const auto* d, const auto* b) {
    return getMinSizeRC(r, d, b);
  };
  const auto canonicalCC = [](auto... a) { return canonicalizeCC(a...); };
  const auto canonicalRC = [](auto... a) { return canonicalizeRC(a...); };
  checkRecords<InplaceDim>(false, canonicalCC, sizeCC);
  checkRecords<InplaceDim>(true, canonicalRC, sizeRC);
  checkRecords<OoplaceDim>(false, canonicalCC, sizeCC);
  checkRecords<OoplaceDim>(true, canonicalRC, sizeRC);
}

// A million dimensions of length 2: the dense stride doubles outwards until it wraps to 0 at the
// 64th record, and stays 0 from there on (0 is the default and passes on 0). The sizes wrap the
// same way: 2 + (2 + 4 + ... + 2^63) is 2^64, that is 0.
TEST(HostileDims, HugeRanksWrapWithoutOverflow) {
  constexpr unsigned long kRank = 1ul << 20;
  std::vector<InplaceDim> dims(kRank, InplaceDim{2, 0, 9});
  InplaceDim batch{2, 0, 9};
  EXPECT_EQ(tov::fft::getMinSizeCC(kRank, dims.data(), &batch), 0);
  EXPECT_EQ(tov::fft::canonicalizeCC(kRank, dims.data(), &batch), std::uint64_t{1} << 63);
  EXPECT_EQ(dims[kRank - 1].stride, 2);
  EXPECT_EQ(dims[kRank - 63].stride, std::numeric_limits<std::int64_t>::min());  // 2^63
  EXPECT_EQ(dims[kRank - 64].stride, 0);
  EXPECT_EQ(dims[0].stride, 0);
  EXPECT_EQ(dims[0].reserved, 0u);
  EXPECT_EQ(batch.stride, 0);

  std::vector<OoplaceDim> oo(kRank, OoplaceDim{-1, 0, 0});
  OoplaceDim ooBatch{std::numeric_limits<std::int64_t>::max(), 0, 0};
  // Input side: n, then -n, n, ... alternating signs: the strides stay small.
  const auto sizes = tov::fft::getMinSizeRC(kRank, oo.data(), &ooBatch);
  const auto largest = tov::fft::canonicalizeRC(kRank, oo.data(), &ooBatch);
  EXPECT_EQ(tov::fft::getMinSizeRC(kRank, oo.data(), &ooBatch), sizes);
  EXPECT_EQ(oo[kRank - 1].istride, 1);
  EXPECT_EQ(oo[kRank - 1].ostride, 2);
  EXPECT_EQ(oo[kRank - 2].istride, -1);  // what the innermost record of n -1 passes on
  EXPECT_EQ(oo[kRank - 3].istride, 1);
  EXPECT_EQ(largest.first, std::numeric_limits<std::uint64_t>::max());  // -1 as unsigned
}

}  // namespace
