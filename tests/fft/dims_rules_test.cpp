// The text forms, and the rules that neither the brute-force layout count nor the invariants of
// the dims fuzzer pin down: the unsigned comparison of extents, rank-0 batches, negative batch
// counts, and batch strides below one point.
#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

#include "tov/fft/dims.hpp"

namespace {

using tov::fft::InplaceDim;
using tov::fft::OoplaceDim;
using tov::fft::toString;
using U64Pair = std::pair<std::uint64_t, std::uint64_t>;
using I64Pair = std::pair<std::int64_t, std::int64_t>;

TEST(DimText, DecimalFieldsWithoutReserved) {
  EXPECT_EQ(toString(InplaceDim{-1, 0, 0xDEAD}), "{-1, 0}");
  EXPECT_EQ(toString(OoplaceDim{3, -4, 0}), "{3, -4, 0}");
  EXPECT_EQ(toString(OoplaceDim{INT64_MIN, INT64_MAX, 16}),
            "{-9223372036854775808, 9223372036854775807, 16}");
}

TEST(Canonicalize, LargestExtentIsUnsignedAndRankZeroRealToComplexHasNoFloor) {
  // The inner extent -8 beats the outer -16 and the batch's -16 as unsigned numbers.
  std::vector<InplaceDim> negative{{2, 0, 0}, {4, -2, 0}};
  InplaceDim batch{1, 0, 0};
  EXPECT_EQ(tov::fft::canonicalizeCC(2, negative.data(), &batch), std::uint64_t{0} - 8);
  EXPECT_EQ(toString(negative[0]) + toString(negative[1]) + toString(batch),
            "{2, -8}{4, -2}{1, -16}");
  // Rank 0: a batch n of 0 becomes 1, a negative one stays; CC has the floor of one point.
  for (const auto& [given, largest, canonical] :
       std::vector<std::tuple<InplaceDim, std::uint64_t, const char*>>{
           {{0, 0, 0}, 2, "{1, 2}"}, {{-3, 0, 0}, std::uint64_t{0} - 6, "{-3, 2}"}}) {
    InplaceDim single = given;
    EXPECT_EQ(tov::fft::canonicalizeCC(0, nullptr, &single), largest);
    EXPECT_EQ(toString(single), canonical);
  }
  InplaceDim inplace{1, 1, 3};
  EXPECT_EQ(tov::fft::canonicalizeRC(0, nullptr, &inplace), 1u);
  OoplaceDim ooplace{0, 0, 0};
  EXPECT_EQ(tov::fft::canonicalizeRC(0, nullptr, &ooplace), (U64Pair{1, 2}));
  EXPECT_EQ(toString(ooplace), "{1, 1, 2}");
}

TEST(MinSize, BatchCountsBelowTwoAddNothing) {
  const InplaceDim strided{5, 3, 0};
  for (const auto& [batch, size] : std::vector<std::pair<InplaceDim, std::int64_t>>{
           {{2, 100, 0}, 114}, {{1, 100, 0}, 14}, {{0, 100, 0}, 14}, {{-4, 100, 0}, 14}}) {
    EXPECT_EQ(tov::fft::getMinSizeCC(1, &strided, &batch), size) << toString(batch);
  }
}

TEST(MinSize, RankZeroBatchStrideBelowOnePointCountsAsOnePointInRealToComplexOnly) {
  const InplaceDim narrow{4, 1, 0};
  EXPECT_EQ(tov::fft::getMinSizeCC(0, nullptr, &narrow), 5);
  const OoplaceDim narrowPair{4, 1, 3};
  EXPECT_EQ(tov::fft::getMinSizeCC(0, nullptr, &narrowPair), (I64Pair{5, 11}));
  for (const auto& [batch, size] : std::vector<std::pair<InplaceDim, std::int64_t>>{
           {{4, 0, 0}, 8}, {{4, 1, 0}, 8}, {{4, 5, 0}, 17}, {{4, -3, 0}, 8}, {{0, 5, 0}, 2}}) {
    EXPECT_EQ(tov::fft::getMinSizeRC(0, nullptr, &batch), size) << toString(batch);
  }
  for (const auto& [batch, size] :
       std::vector<std::pair<OoplaceDim, I64Pair>>{{{4, 0, 0}, {4, 8}},
                                                   {{4, 3, 5}, {10, 17}},
                                                   {{4, -2, -2}, {4, 8}},
                                                   {{4, 1, 2}, {4, 8}}}) {
    EXPECT_EQ(tov::fft::getMinSizeRC(0, nullptr, &batch), size) << toString(batch);
  }
}

}  // namespace
