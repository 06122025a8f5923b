// Worked examples of the text forms, canonicalization and minimum sizes, including the corners
// where the rules differ on purpose (RC innermost strides, rank 0, unsigned extents).
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "tov/fft/dims.hpp"

namespace {

using tov::fft::InplaceDim;
using tov::fft::OoplaceDim;
using U64Pair = std::pair<std::uint64_t, std::uint64_t>;
using I64Pair = std::pair<std::int64_t, std::int64_t>;

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TEST(DimText, WritesFieldsInDecimalWithoutReserved) {
  EXPECT_EQ(tov::fft::toString(InplaceDim{8, 2, 0}), "{8, 2}");
  EXPECT_EQ(tov::fft::toString(InplaceDim{-1, 0, 0}), "{-1, 0}");
  EXPECT_EQ(tov::fft::toString(InplaceDim{0, 0, 0xDEAD}), "{0, 0}");
  EXPECT_EQ(tov::fft::toString(OoplaceDim{3, -4, 0}), "{3, -4, 0}");
  EXPECT_EQ(tov::fft::toString(OoplaceDim{kMin, std::numeric_limits<std::int64_t>::max(), 16}),
            "{-9223372036854775808, 9223372036854775807, 16}");
}

TEST(CanonicalizeCC, InplaceFillsDenseStridesAndClearsReserved) {
  std::vector<InplaceDim> dims{{4, 0, 7}, {8, 0, 7}};
  InplaceDim batch{3, 0, 7};
  EXPECT_EQ(tov::fft::canonicalizeCC(2, dims.data(), &batch), 192u);
  EXPECT_EQ(tov::fft::toString(dims[0]) + tov::fft::toString(dims[1]), "{4, 16}{8, 2}");
  EXPECT_EQ(tov::fft::toString(batch), "{3, 64}");
  EXPECT_EQ(dims[0].reserved | dims[1].reserved | batch.reserved, 0u);

  InplaceDim single{0, 0, 7};
  EXPECT_EQ(tov::fft::canonicalizeCC(0, nullptr, &single), 2u);
  EXPECT_EQ(tov::fft::toString(single), "{1, 2}");
  EXPECT_EQ(single.reserved, 0u);
}

TEST(CanonicalizeCC, OoplaceSidesAreIndependent) {
  std::vector<OoplaceDim> dims{{4, 2, 0}, {3, 8, 0}};  // transposed input
  OoplaceDim batch{1, 0, 0};
  EXPECT_EQ(tov::fft::canonicalizeCC(2, dims.data(), &batch), (U64Pair{24, 24}));
  EXPECT_EQ(tov::fft::toString(dims[0]) + tov::fft::toString(dims[1]) + tov::fft::toString(batch),
            "{4, 2, 6}{3, 8, 2}{1, 8, 24}");
}

TEST(CanonicalizeCC, NegativeExtentIsTheLargestAsUnsigned) {
  InplaceDim dim{4, -2, 0}, batch{1, 0, 0};
  EXPECT_EQ(tov::fft::canonicalizeCC(1, &dim, &batch), std::uint64_t{0} - 8);
  EXPECT_EQ(batch.stride, -8);
  // The inner extent -8 beats the outer -16 and the batch's -16 as unsigned numbers.
  std::vector<InplaceDim> dims{{2, 0, 0}, {4, -2, 0}};
  batch = {1, 0, 0};
  EXPECT_EQ(tov::fft::canonicalizeCC(2, dims.data(), &batch), std::uint64_t{0} - 8);
  EXPECT_EQ(batch.stride, -16);
  // A negative batch n stays; only 0 becomes 1.
  InplaceDim negative{-3, 0, 0};
  EXPECT_EQ(tov::fft::canonicalizeCC(0, nullptr, &negative), std::uint64_t{0} - 6);
  EXPECT_EQ(negative.n, -3);
}

TEST(CanonicalizeRC, InplaceFixesInnermostStrideAndKeepsItsReserved) {
  std::vector<InplaceDim> dims{{4, 0, 5}, {8, 0, 5}};
  InplaceDim batch{1, 0, 5};
  EXPECT_EQ(tov::fft::canonicalizeRC(2, dims.data(), &batch), 40u);
  EXPECT_EQ(tov::fft::toString(dims[0]) + tov::fft::toString(dims[1]) + tov::fft::toString(batch),
            "{4, 10}{8, 1}{1, 40}");
  EXPECT_EQ(dims[0].reserved, 0u);
  EXPECT_EQ(dims[1].reserved, 5u);
  EXPECT_EQ(batch.reserved, 0u);

  InplaceDim odd{5, 7, 0}, empty{0, 0, 0};
  EXPECT_EQ(tov::fft::canonicalizeRC(1, &odd, &empty), 6u);
  EXPECT_EQ(odd.stride, 1);
  EXPECT_EQ(tov::fft::toString(empty), "{1, 6}");
}

TEST(CanonicalizeRC, OoplaceOverwritesInnermostStrides) {
  std::vector<OoplaceDim> dims{{4, 0, 0}, {6, 3, 3}};
  OoplaceDim batch{0, 0, 0};
  EXPECT_EQ(tov::fft::canonicalizeRC(2, dims.data(), &batch), (U64Pair{24, 32}));
  EXPECT_EQ(tov::fft::toString(dims[0]) + tov::fft::toString(dims[1]) + tov::fft::toString(batch),
            "{4, 6, 8}{6, 1, 2}{1, 24, 32}");
}

TEST(CanonicalizeRC, RankZeroHasNoFloor) {
  InplaceDim inplace{1, 1, 3};
  EXPECT_EQ(tov::fft::canonicalizeRC(0, nullptr, &inplace), 1u);  // CC would give 2
  EXPECT_EQ(inplace.reserved, 0u);
  OoplaceDim ooplace{0, 0, 0};
  EXPECT_EQ(tov::fft::canonicalizeRC(0, nullptr, &ooplace), (U64Pair{1, 2}));
  EXPECT_EQ(tov::fft::toString(ooplace), "{1, 1, 2}");
}

TEST(MinSizeCC, InplaceAddsBatchOnlyFromTwoTransforms) {
  const std::vector<InplaceDim> dims{{4, 0, 0}, {8, 0, 0}};
  const InplaceDim three{3, 0, 0};
  EXPECT_EQ(tov::fft::getMinSizeCC(2, dims.data(), &three), 192);
  const InplaceDim strided{5, 3, 0};
  for (const auto& [batch, size] : std::vector<std::pair<InplaceDim, std::int64_t>>{
           {{2, 100, 0}, 114}, {{1, 100, 0}, 14}, {{0, 100, 0}, 14}, {{-4, 100, 0}, 14}}) {
    EXPECT_EQ(tov::fft::getMinSizeCC(1, &strided, &batch), size) << tov::fft::toString(batch);
  }
  // Rank 0: the batch stride defaults to one point, and a non-zero one is used as given.
  for (const auto& [batch, size] : std::vector<std::pair<InplaceDim, std::int64_t>>{
           {{1, 0, 0}, 2}, {{4, 0, 0}, 8}, {{4, 1, 0}, 5}}) {
    EXPECT_EQ(tov::fft::getMinSizeCC(0, nullptr, &batch), size) << tov::fft::toString(batch);
  }
}

TEST(MinSizeCC, Ooplace) {
  const std::vector<OoplaceDim> dims{{4, 2, 0}, {3, 8, 0}};
  const OoplaceDim one{1, 0, 0}, four{4, 1, 3};
  EXPECT_EQ(tov::fft::getMinSizeCC(2, dims.data(), &one), (I64Pair{24, 24}));
  EXPECT_EQ(tov::fft::getMinSizeCC(0, nullptr, &four), (I64Pair{5, 11}));
}

TEST(MinSizeRC, InplaceIgnoresInnermostStride) {
  const std::vector<InplaceDim> dims{{4, 0, 0}, {8, 0, 0}};
  const InplaceDim one{1, 0, 0}, two{2, 0, 0}, three{3, 0, 0};
  EXPECT_EQ(tov::fft::getMinSizeRC(2, dims.data(), &one), 40);
  EXPECT_EQ(tov::fft::getMinSizeRC(2, dims.data(), &two), 80);
  const InplaceDim seven{7, 99, 0}, eight{8, 99, 0};
  EXPECT_EQ(tov::fft::getMinSizeRC(1, &seven, &one), 8);
  EXPECT_EQ(tov::fft::getMinSizeRC(1, &eight, &three), 30);
}

TEST(MinSizeRC, RankZeroRaisesBatchStrideToOnePoint) {
  for (const auto& [batch, size] : std::vector<std::pair<InplaceDim, std::int64_t>>{
           {{4, 0, 0}, 8}, {{4, 1, 0}, 8}, {{4, 5, 0}, 17}, {{4, -3, 0}, 8}, {{0, 5, 0}, 2}}) {
    EXPECT_EQ(tov::fft::getMinSizeRC(0, nullptr, &batch), size) << tov::fft::toString(batch);
  }
  for (const auto& [batch, size] :
       std::vector<std::pair<OoplaceDim, I64Pair>>{{{4, 0, 0}, {4, 8}},
                                                   {{4, 3, 5}, {10, 17}},
                                                   {{4, -2, -2}, {4, 8}},
                                                   {{4, 1, 2}, {4, 8}}}) {
    EXPECT_EQ(tov::fft::getMinSizeRC(0, nullptr, &batch), size) << tov::fft::toString(batch);
  }
  // Canonicalization keeps the stride 1, and the size stays 8 after it.
  InplaceDim narrow{4, 1, 0};
  tov::fft::canonicalizeRC(0, nullptr, &narrow);
  EXPECT_EQ(narrow.stride, 1);
  EXPECT_EQ(tov::fft::getMinSizeRC(0, nullptr, &narrow), 8);
}

TEST(MinSizeRC, OoplaceRealInputRows) {
  const std::vector<OoplaceDim> dims{{4, 0, 0}, {6, 3, 3}};
  const OoplaceDim one{1, 0, 0}, two{2, 0, 0};
  EXPECT_EQ(tov::fft::getMinSizeRC(2, dims.data(), &one), (I64Pair{24, 32}));
  const OoplaceDim six{6, 5, 5}, seven{7, 5, 5};
  EXPECT_EQ(tov::fft::getMinSizeRC(1, &six, &two), (I64Pair{12, 16}));
  EXPECT_EQ(tov::fft::getMinSizeRC(1, &seven, &two), (I64Pair{14, 16}));
}

}  // namespace
