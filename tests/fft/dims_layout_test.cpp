// Minimum sizes of random problems against a brute-force count, which computes no size from a
// formula: it lists the offset of every scalar that each transform reads or writes, from the
// canonical strides, and compares the largest with the reported minimum size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tov/fft/dims.hpp"

namespace {

using tov::fft::InplaceDim;
using tov::fft::OoplaceDim;

enum class Kind { cc, rc };

// Scalar offsets touched on one side, with how often each is touched.
using Touched = std::map<std::int64_t, int>;

// Records offsets in `out` for every point of one transform starting at `base`. Dimension `level`
// of `strides`/`lengths` is walked; the innermost RC dimension holds `realInputs` real points at
// stride 1 and/or n / 2 + 1 complex outputs at stride 2.
void touchTransform(Kind kind, bool realInputs, bool complexOutputs,
                    const std::vector<std::int64_t>& lengths,
                    const std::vector<std::int64_t>& strides, std::size_t level, std::int64_t base,
                    Touched& out) {
  const std::size_t rank = lengths.size();
  if (kind == Kind::rc && level + 1 >= rank) {
    const std::int64_t n = rank == 0 ? 1 : lengths[rank - 1];
    if (realInputs) {
      for (std::int64_t i = 0; i < n; ++i) ++out[base + i];
    }
    if (complexOutputs) {
      for (std::int64_t j = 0; j <= n / 2; ++j) ++out[base + 2 * j], ++out[base + 2 * j + 1];
    }
    return;
  }
  if (level == rank) {
    ++out[base], ++out[base + 1];
    return;
  }
  for (std::int64_t i = 0; i < lengths[level]; ++i) {
    touchTransform(kind, realInputs, complexOutputs, lengths, strides, level + 1,
                   base + i * strides[level], out);
  }
}

// One past the largest offset; and, for a layout made only of default strides, that the side is
// dense: every offset from 0 up is touched, and none twice by one direction.
std::int64_t span(const Touched& touched) { return touched.rbegin()->first + 1; }
bool denseOnce(const Touched& touched, int directions) {
  return touched.begin()->first == 0 &&
         static_cast<std::int64_t>(touched.size()) == span(touched) &&
         std::all_of(touched.begin(), touched.end(),
                     [&](const auto& entry) { return entry.second <= directions; });
}

// The stride fields of each side of a record: one buffer in place, input and output out of place.
template <class Dim>
struct Sides;
template <>
struct Sides<InplaceDim> {
  static constexpr std::int64_t InplaceDim::*kStride[] = {&InplaceDim::stride};
};
template <>
struct Sides<OoplaceDim> {
  static constexpr std::int64_t OoplaceDim::*kStride[] = {&OoplaceDim::istride,
                                                          &OoplaceDim::ostride};
};

// A size or extent result as one value per side.
template <class T>
std::vector<std::int64_t> perSide(T value) {
  return {static_cast<std::int64_t>(value)};
}
template <class T>
std::vector<std::int64_t> perSide(std::pair<T, T> value) {
  return {static_cast<std::int64_t>(value.first), static_cast<std::int64_t>(value.second)};
}

// Random problems of ranks 0 to 3, lengths 1 to 5, 0 to 4 transforms, each stride 0 (the
// default) or at least one point wide; the RC innermost strides are set to anything, since the
// library fixes them. The minimum size of each side is one past the last scalar touched, before
// and after canonicalization; a layout of defaults only is dense and reaches its largest extent.
template <class Dim>
void checkRandomProblems(std::mt19937_64& rng) {
  const auto uniform = [&rng](std::int64_t lo, std::int64_t hi) {
    return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
  };
  constexpr auto& kStride = Sides<Dim>::kStride;
  constexpr std::size_t kSides = std::size(kStride);
  for (int trial = 0; trial < 3000; ++trial) {
    const bool rc = uniform(0, 1) == 1;
    // Scalars per point on each side: complex, except on the RC out-of-place input.
    const std::int64_t point[2] = {rc && kSides == 2 ? 1 : 2, 2};
    const auto rank = static_cast<std::size_t>(uniform(0, 3));
    bool allDefault = true;
    std::vector<Dim> dims(rank);
    Dim batch{};
    for (std::size_t i = 0; i <= rank; ++i) {
      Dim& d = i < rank ? dims[i] : batch;
      d.n = i < rank ? uniform(1, 5) : uniform(0, 4);
      for (std::size_t side = 0; side < kSides; ++side) {
        const bool zero = uniform(0, 2) == 0;
        allDefault = allDefault && zero;
        d.*kStride[side] = zero ? 0 : uniform(point[side], point[side] + 5);
        if (rc && i + 1 == rank) d.*kStride[side] = uniform(-9, 9);
      }
    }

    const std::vector<Dim> given = dims;
    const Dim givenBatch = batch;
    const auto minSize = [rc, rank](const Dim* d, const Dim* b) {
      return perSide(rc ? tov::fft::getMinSizeRC(rank, d, b) : tov::fft::getMinSizeCC(rank, d, b));
    };
    const std::vector<std::int64_t> before = minSize(given.data(), &givenBatch);
    const std::vector<std::int64_t> largest =
        perSide(rc ? tov::fft::canonicalizeRC(rank, dims.data(), &batch)
                   : tov::fft::canonicalizeCC(rank, dims.data(), &batch));
    const std::string what = "rank " + std::to_string(rank) + (rc ? " rc" : " cc") + " batch " +
                             tov::fft::toString(givenBatch);
    ASSERT_EQ(minSize(dims.data(), &batch), before) << what;

    std::vector<std::int64_t> lengths;
    for (const Dim& d : dims) lengths.push_back(d.n);
    for (std::size_t side = 0; side < kSides; ++side) {
      std::vector<std::int64_t> strides;
      for (const Dim& d : dims) strides.push_back(d.*kStride[side]);
      if (rc && rank > 0) {
        ASSERT_EQ(strides.back(), side == 0 ? 1 : 2) << what;
      }
      // In place, inputs and outputs share the buffer; out of place, the RC input side holds
      // only real points and its output side only complex ones.
      const bool inplace = kSides == 1;
      Touched touched;
      for (std::int64_t b = 0; b < batch.n; ++b) {
        touchTransform(rc ? Kind::rc : Kind::cc, inplace || side == 0 || !rc,
                       inplace || side == 1 || !rc, lengths, strides, 0, b * batch.*kStride[side],
                       touched);
      }
      ASSERT_EQ(before[side], span(touched)) << what << ", side " << side;
      if (allDefault) {
        EXPECT_TRUE(denseOnce(touched, inplace && rc ? 2 : 1)) << what << ", side " << side;
        EXPECT_EQ(largest[side], before[side]) << what << ", side " << side;
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
