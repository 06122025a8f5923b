// Minimum buffer sizes: the dense-layout walk of canonicalization, reading the records only.
#include "fft/dense_layout.hpp"
#include "tov/fft/dims.hpp"

namespace tov::fft {
namespace {

using detail::signedWord;
using detail::Transform;
using detail::Word;
using detail::word;

template <class Dim>
struct SizeCounter {
  using DimSides = detail::Sides<Dim>;
  // One past the last scalar touched so far: the innermost extent, then (n - 1) strides more for
  // each record outwards.
  detail::Words<Dim> size{};
  bool rcRankZero = false;

  void start(const detail::Words<Dim>& passedOn) { size = passedOn; }
  void rcInnermost(const Dim&) {}
  void record(const Dim& dim, std::size_t side, Word stride, Word) {
    size[side] += (word(dim.n) - 1u) * stride;
  }
  void batch(const Dim& dim, const detail::Words<Dim>& passedOn) {
    if (dim.n < 2) return;  // a single transform (or none): signed on purpose
    for (std::size_t side = 0; side < DimSides::kCount; ++side) {
      const std::int64_t given = dim.*DimSides::kStride[side];
      Word stride = detail::denseStride(given, passedOn[side]);
      // With rank 0 an RC batch stride below one point (passedOn) counts as one point, so the
      // size is that of batch.n points that do not overlap, whatever stride was given. CC sizes
      // and canonicalization (which rewrites only zeros) use a given stride as it is; the size
      // stays the same before and after canonicalization because the raise applies to the
      // stride the caller gave, which canonicalization keeps.
      if (rcRankZero && given < signedWord(passedOn[side])) stride = passedOn[side];
      size[side] += (word(dim.n) - 1u) * stride;
    }
  }
};

template <class Dim>
detail::Words<const Dim> minSize(Transform kind, unsigned long rank, const Dim* dims,
                                 const Dim* batch) {
  SizeCounter<Dim> visit;
  visit.rcRankZero = kind == Transform::rc && rank == 0;
  detail::walkDenseLayout(kind, rank, dims, *batch, visit);
  return visit.size;
}

}  // namespace

std::int64_t getMinSizeCC(unsigned long rank, const InplaceDim* dims, const InplaceDim* batch) {
  return signedWord(minSize(Transform::cc, rank, dims, batch)[0]);
}

std::pair<std::int64_t, std::int64_t> getMinSizeCC(unsigned long rank, const OoplaceDim* dims,
                                                   const OoplaceDim* batch) {
  const auto size = minSize(Transform::cc, rank, dims, batch);
  return {signedWord(size[0]), signedWord(size[1])};
}

std::int64_t getMinSizeRC(unsigned long rank, const InplaceDim* dims, const InplaceDim* batch) {
  return signedWord(minSize(Transform::rc, rank, dims, batch)[0]);
}

std::pair<std::int64_t, std::int64_t> getMinSizeRC(unsigned long rank, const OoplaceDim* dims,
                                                   const OoplaceDim* batch) {
  const auto size = minSize(Transform::rc, rank, dims, batch);
  return {signedWord(size[0]), signedWord(size[1])};
}

}  // namespace tov::fft
