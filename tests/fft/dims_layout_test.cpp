// Property checks over random problems.
//
// The brute-force check computes no size from a formula: it lists the offset of every scalar that
// each transform reads or writes, from the canonical strides, and compares the largest with the
// reported minimum size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tov/fft/dims.hpp"

namespace {

using tov::fft::InplaceDim;
using tov::fft::OoplaceDim;

template <class Dim>
using Canonicalizer = decltype(tov::fft::canonicalizeCC(
    0, static_cast<Dim*>(nullptr), static_cast<Dim*>(nullptr))) (*)(unsigned long, Dim*, Dim*);
template <class Dim>
using SizeFunction = decltype(tov::fft::getMinSizeCC(0, static_cast<const Dim*>(nullptr),
                                                     static_cast<const Dim*>(nullptr))) (*)(
    unsigned long, const Dim*, const Dim*);

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

struct Problem {
  Kind kind;
  std::vector<std::int64_t> lengths;
  std::int64_t count;  // transforms, after canonicalization
};

Touched touchAll(const Problem& p, const std::vector<std::int64_t>& strides,
                 std::int64_t batchStride, bool realInputs, bool complexOutputs) {
  Touched out;
  for (std::int64_t b = 0; b < p.count; ++b) {
    touchTransform(p.kind, realInputs, complexOutputs, p.lengths, strides, 0, b * batchStride, out);
  }
  return out;
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

class RandomProblems : public ::testing::Test {
 protected:
  std::mt19937_64 rng{20261206};
  std::int64_t uniform(std::int64_t lo, std::int64_t hi) {
    return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
  }
  // 0 (the default) or a stride at least one point of `point` scalars wide.
  std::int64_t stride(std::int64_t point, bool& allDefault) {
    if (uniform(0, 2) == 0) return 0;
    allDefault = false;
    return uniform(point, point + 5);
  }
};

TEST_F(RandomProblems, InplaceMinSizeIsOnePastTheLastTouchedScalar) {
  for (int trial = 0; trial < 3000; ++trial) {
    const Kind kind = uniform(0, 1) ? Kind::rc : Kind::cc;
    const auto rank = static_cast<std::size_t>(uniform(0, 3));
    bool allDefault = true;
    std::vector<InplaceDim> dims(rank);
    for (std::size_t i = 0; i < rank; ++i) {
      dims[i] = {uniform(1, 5), stride(2, allDefault), 0};
    }
    // The RC innermost stride is fixed at 1; whatever the caller wrote there is ignored.
    if (kind == Kind::rc && rank > 0) dims[rank - 1].stride = uniform(-9, 9);
    InplaceDim batch{uniform(0, 4), stride(2, allDefault), 0};

    const std::vector<InplaceDim> given = dims;
    const InplaceDim givenBatch = batch;
    SizeFunction<InplaceDim> minSize = tov::fft::getMinSizeCC;
    Canonicalizer<InplaceDim> canonicalize = tov::fft::canonicalizeCC;
    if (kind == Kind::rc) minSize = tov::fft::getMinSizeRC, canonicalize = tov::fft::canonicalizeRC;
    const std::int64_t before = minSize(rank, given.data(), &givenBatch);
    const std::uint64_t largest = canonicalize(rank, dims.data(), &batch);

    Problem p{kind, {}, batch.n};
    std::vector<std::int64_t> strides;
    for (const InplaceDim& d : dims) p.lengths.push_back(d.n), strides.push_back(d.stride);
    if (kind == Kind::rc && rank > 0) {
      ASSERT_EQ(strides.back(), 1);
    }
    // In place, inputs and outputs share the buffer: both count.
    const Touched touched = touchAll(p, strides, batch.stride, true, true);
    const std::string what = "rank " + std::to_string(rank) + (kind == Kind::cc ? " cc" : " rc") +
                             " batch " + tov::fft::toString(givenBatch);
    ASSERT_EQ(before, span(touched)) << what;
    ASSERT_EQ(minSize(rank, dims.data(), &batch), before) << what;
    if (allDefault) {
      EXPECT_TRUE(denseOnce(touched, kind == Kind::cc ? 1 : 2)) << what;
      EXPECT_EQ(largest, static_cast<std::uint64_t>(before)) << what;
    }
  }
}

TEST_F(RandomProblems, OoplaceMinSizesAreOnePastTheLastTouchedScalars) {
  for (int trial = 0; trial < 3000; ++trial) {
    const Kind kind = uniform(0, 1) ? Kind::rc : Kind::cc;
    const std::int64_t inPoint = kind == Kind::rc ? 1 : 2;
    const auto rank = static_cast<std::size_t>(uniform(0, 3));
    bool allDefault = true;
    std::vector<OoplaceDim> dims(rank);
    for (std::size_t i = 0; i < rank; ++i) {
      dims[i] = {uniform(1, 5), stride(inPoint, allDefault), stride(2, allDefault)};
    }
    if (kind == Kind::rc && rank > 0) dims[rank - 1].istride = 7, dims[rank - 1].ostride = -3;
    OoplaceDim batch{uniform(0, 4), stride(inPoint, allDefault), stride(2, allDefault)};

    const std::vector<OoplaceDim> given = dims;
    const OoplaceDim givenBatch = batch;
    SizeFunction<OoplaceDim> minSize = tov::fft::getMinSizeCC;
    Canonicalizer<OoplaceDim> canonicalize = tov::fft::canonicalizeCC;
    if (kind == Kind::rc) minSize = tov::fft::getMinSizeRC, canonicalize = tov::fft::canonicalizeRC;
    const auto before = minSize(rank, given.data(), &givenBatch);
    const auto largest = canonicalize(rank, dims.data(), &batch);

    Problem p{kind, {}, batch.n};
    std::vector<std::int64_t> in, out;
    for (const OoplaceDim& d : dims) {
      p.lengths.push_back(d.n), in.push_back(d.istride), out.push_back(d.ostride);
    }
    // The RC input side holds only real points, its output side only complex ones.
    const bool rc = kind == Kind::rc;
    const Touched input = touchAll(p, in, batch.istride, true, !rc);
    const Touched output = touchAll(p, out, batch.ostride, !rc, true);
    const std::string what = "rank " + std::to_string(rank) + (rc ? " rc" : " cc") + " batch " +
                             tov::fft::toString(givenBatch);
    ASSERT_EQ(before.first, span(input)) << what;
    ASSERT_EQ(before.second, span(output)) << what;
    ASSERT_EQ(minSize(rank, dims.data(), &batch), before) << what;
    if (allDefault) {
      EXPECT_TRUE(denseOnce(input, 1) && denseOnce(output, 1)) << what;
      EXPECT_EQ(largest.first, static_cast<std::uint64_t>(before.first)) << what;
      EXPECT_EQ(largest.second, static_cast<std::uint64_t>(before.second)) << what;
    }
  }
}

}  // namespace
