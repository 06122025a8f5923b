// Minimum sizes of random problems against a brute-force count, which computes no size from a
// formula: it lists the offset of every scalar that each transform reads or writes, from the
// canonical strides, and compares the largest with the reported minimum size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "tov/fft/dims.hpp"

namespace {

using tov::fft::InplaceDim;
using tov::fft::OoplaceDim;

// The stride of each side: one buffer in place, input (side 0) and output (side 1) out of place.
std::int64_t& stride(InplaceDim& dim, std::size_t) { return dim.stride; }
std::int64_t& stride(OoplaceDim& dim, std::size_t side) {
  return side == 0 ? dim.istride : dim.ostride;
}

// A size or extent result as one value per side.
template <class T>
std::vector<std::int64_t> perSide(T v) {
  if constexpr (std::is_integral_v<T>)
    return {static_cast<std::int64_t>(v)};
  else
    return {static_cast<std::int64_t>(v.first), static_cast<std::int64_t>(v.second)};
}

// Random problems of ranks 0 to 3, lengths 1 to 5, 0 to 4 transforms, each stride 0 (the
// default) or at least one point wide; the RC innermost strides are set to anything, since the
// library fixes them. The minimum size of each side is one past the last scalar touched, before
// and after canonicalization; a layout of defaults only is dense (every offset from 0 up touched,
// none twice by one direction of the transform) and reaches its largest extent.
template <class Dim>
void checkRandomProblems(std::mt19937_64& rng) {
  const auto uniform = [&rng](std::int64_t lo, std::int64_t hi) {
    return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
  };
  constexpr bool kInplace = std::is_same_v<Dim, InplaceDim>;
  constexpr std::size_t kSides = kInplace ? 1 : 2;
  for (int trial = 0; trial < 3000; ++trial) {
    const bool rc = uniform(0, 1) == 1;
    // Scalars per point on each side: complex, except on the RC out-of-place input.
    const std::int64_t point[2] = {rc && !kInplace ? 1 : 2, 2};
    const auto rank = static_cast<std::size_t>(uniform(0, 3));
    bool allDefault = true;
    std::vector<Dim> dims(rank + 1);  // the batch last
    for (std::size_t i = 0; i <= rank; ++i) {
      dims[i].n = i < rank ? uniform(1, 5) : uniform(0, 4);
      for (std::size_t side = 0; side < kSides; ++side) {
        const bool zero = uniform(0, 2) == 0;
        allDefault = allDefault && zero;
        stride(dims[i], side) = zero ? 0 : uniform(point[side], point[side] + 5);
        if (rc && i + 1 == rank) stride(dims[i], side) = uniform(-9, 9);
      }
    }
    Dim& batch = dims[rank];
    const std::string what = "rank " + std::to_string(rank) + (rc ? " rc" : " cc") + " batch " +
                             tov::fft::toString(batch);
    const auto minSize = [&] {
      return perSide(rc ? tov::fft::getMinSizeRC(rank, dims.data(), &batch)
                        : tov::fft::getMinSizeCC(rank, dims.data(), &batch));
    };
    const std::vector<std::int64_t> size = minSize();
    const std::vector<std::int64_t> largest =
        perSide(rc ? tov::fft::canonicalizeRC(rank, dims.data(), &batch)
                   : tov::fft::canonicalizeCC(rank, dims.data(), &batch));
    ASSERT_EQ(minSize(), size) << what;

    for (std::size_t side = 0; side < kSides; ++side) {
      if (rc && rank > 0) {
        ASSERT_EQ(stride(dims[rank - 1], side), side == 0 ? 1 : 2) << what;
      }
      // In place, inputs and outputs share the buffer; out of place, the RC input side holds
      // only real points and its output side only complex ones.
      const bool realIn = kInplace || side == 0, complexOut = kInplace || side == 1;
      std::map<std::int64_t, int> touched;  // offset -> how often touched
      const std::function<void(std::size_t, std::int64_t)> touch = [&](std::size_t level,
                                                                       std::int64_t base) {
        if (rc && level + 1 >= rank) {  // the RC row: n real points and/or n / 2 + 1 complex ones
          const std::int64_t n = rank == 0 ? 1 : dims[rank - 1].n;
          for (std::int64_t i = 0; realIn && i < n; ++i) ++touched[base + i];
          for (std::int64_t j = 0; complexOut && j <= n / 2; ++j) {
            ++touched[base + 2 * j], ++touched[base + 2 * j + 1];
          }
        } else if (level == rank) {  // one complex point
          ++touched[base], ++touched[base + 1];
        } else {
          for (std::int64_t i = 0; i < dims[level].n; ++i) {
            touch(level + 1, base + i * stride(dims[level], side));
          }
        }
      };
      for (std::int64_t b = 0; b < batch.n; ++b) touch(0, b * stride(batch, side));
      ASSERT_EQ(size[side], touched.rbegin()->first + 1) << what << ", side " << side;
      if (allDefault) {
        const bool dense =
            touched.begin()->first == 0 && std::int64_t(touched.size()) == size[side];
        const int most = std::max_element(touched.begin(), touched.end(), [](auto& a, auto& b) {
                           return a.second < b.second;
                         })->second;
        EXPECT_TRUE(dense && most <= (kInplace && rc ? 2 : 1)) << what << ", side " << side;
        EXPECT_EQ(largest[side], size[side]) << what << ", side " << side;
      }
    }
  }
}

TEST(RandomProblems, MinSizesAreOnePastTheLastTouchedScalars) {
  std::mt19937_64 rng(20261206);
  checkRandomProblems<InplaceDim>(rng);
  checkRandomProblems<OoplaceDim>(rng);
}

}  // namespace
