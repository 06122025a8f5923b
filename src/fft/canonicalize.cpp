// Canonicalization: writes the dense defaults into a problem's records and returns its largest
// extents.
#include <algorithm>

#include "fft/dense_layout.hpp"
#include "tov/fft/dims.hpp"

namespace tov::fft {
namespace {

using detail::signedWord;
using detail::Transform;
using detail::Word;
using detail::word;

// The reserved word is cleared in every in-place record that canonicalization derives. The RC
// innermost record is not derived: its stride is fixed whatever it held (rcInnermost), and its
// other words pass through as the caller set them, reserved included, as dims.hpp promises.
void clearReserved(InplaceDim& dim) { dim.reserved = 0; }
void clearReserved(OoplaceDim&) {}

template <class Dim>
struct Canonicalizer {
  using DimSides = detail::Sides<Dim>;
  // Extents are compared as unsigned numbers: a negative product counts as the largest.
  detail::Words<Dim> largest{};
  bool noFloor = false;  // RC with rank 0: the result is the batch extent alone

  void start(const detail::Words<Dim>& passedOn) {
    if (!noFloor) largest = passedOn;
  }
  void rcInnermost(Dim& dim) {
    for (std::size_t side = 0; side < DimSides::kCount; ++side) {
      dim.*DimSides::kStride[side] = signedWord(DimSides::kRcInnerStride[side]);
    }
  }
  void record(Dim& dim, std::size_t side, Word stride, Word extent) {
    dim.*DimSides::kStride[side] = signedWord(stride);
    clearReserved(dim);
    largest[side] = std::max(largest[side], extent);
  }
  void batch(Dim& dim, const detail::Words<Dim>& passedOn) {
    if (dim.n == 0) dim.n = 1;
    clearReserved(dim);
    for (std::size_t side = 0; side < DimSides::kCount; ++side) {
      const Word stride = detail::denseStride(dim.*DimSides::kStride[side], passedOn[side]);
      dim.*DimSides::kStride[side] = signedWord(stride);
      largest[side] = std::max(largest[side], stride * word(dim.n));
    }
  }
};

template <class Dim>
detail::Words<Dim> canonicalize(Transform kind, unsigned long rank, Dim* dims, Dim* batch) {
  Canonicalizer<Dim> visit;
  visit.noFloor = kind == Transform::rc && rank == 0;
  detail::walkDenseLayout(kind, rank, dims, *batch, visit);
  return visit.largest;
}

}  // namespace

std::uint64_t canonicalizeCC(unsigned long rank, InplaceDim* dims, InplaceDim* batch) {
  return canonicalize(Transform::cc, rank, dims, batch)[0];
}

std::pair<std::uint64_t, std::uint64_t> canonicalizeCC(unsigned long rank, OoplaceDim* dims,
                                                       OoplaceDim* batch) {
  const auto largest = canonicalize(Transform::cc, rank, dims, batch);
  return {largest[0], largest[1]};
}

std::uint64_t canonicalizeRC(unsigned long rank, InplaceDim* dims, InplaceDim* batch) {
  return canonicalize(Transform::rc, rank, dims, batch)[0];
}

std::pair<std::uint64_t, std::uint64_t> canonicalizeRC(unsigned long rank, OoplaceDim* dims,
                                                       OoplaceDim* batch) {
  const auto largest = canonicalize(Transform::rc, rank, dims, batch);
  return {largest[0], largest[1]};
}

}  // namespace tov::fft
