// The dense-layout walk shared by canonicalization and the minimum-size functions.
//
// All record arithmetic is done on uint64_t: the records are signed, but products and sums wrap
// in 64 bits, and doing that in signed types would be undefined behaviour.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "tov/fft/dims.hpp"

namespace tov::fft::detail {

using Word = std::uint64_t;

constexpr Word word(std::int64_t value) { return static_cast<Word>(value); }
// Modular since C++20: the two's-complement reading of the word.
constexpr std::int64_t signedWord(Word value) { return static_cast<std::int64_t>(value); }

// Scalars along an RC innermost dimension of n points: 2 * (n / 2 + 1) complex-output scalars,
// which also hold the n real inputs of an in-place row.
constexpr Word paddedLength(std::int64_t n) { return (word(n) | 1u) + 1u; }

// A zero stride takes the value passed on by the record inside.
constexpr Word denseStride(std::int64_t stride, Word passedOn) {
  return stride != 0 ? word(stride) : passedOn;
}

enum class Transform { cc, rc };

// The sides (stride fields) of a record type: one shared stride in place, input and output out of
// place.
template <class Dim>
struct Sides;

template <>
struct Sides<InplaceDim> {
  static constexpr std::size_t kCount = 1;
  static constexpr std::int64_t InplaceDim::*kStride[kCount] = {&InplaceDim::stride};
  // Fixed strides of the RC innermost record: real inputs and complex outputs share the row.
  static constexpr Word kRcInnerStride[kCount] = {1};
  // Scalars of one point: the buffer holds complex points in both kinds of transform.
  static constexpr Word pointScalars(Transform, std::size_t) { return 2; }
  // What the RC innermost record of length n passes outwards.
  static constexpr Word rcInnerExtent(std::size_t, std::int64_t n) { return paddedLength(n); }
};

template <>
struct Sides<OoplaceDim> {
  static constexpr std::size_t kCount = 2;
  static constexpr std::int64_t OoplaceDim::*kStride[kCount] = {&OoplaceDim::istride,
                                                                &OoplaceDim::ostride};
  static constexpr Word kRcInnerStride[kCount] = {1, 2};
  // The input side of an RC transform holds real points.
  static constexpr Word pointScalars(Transform kind, std::size_t side) {
    return kind == Transform::rc && side == 0 ? 1 : 2;
  }
  static constexpr Word rcInnerExtent(std::size_t side, std::int64_t n) {
    return side == 0 ? word(n) : paddedLength(n);
  }
};

template <class Dim>
using Words = std::array<Word, Sides<std::remove_const_t<Dim>>::kCount>;

// Walks a problem from the innermost record outwards and tells `visit` about each stride with its
// dense default applied, together with the value passed on to the next record out. Dim is const
// for readers and non-const for canonicalization. The visitor provides
//   start(passedOn)                       before any record, with the innermost value passed on
//                                         (2 per side for CC, one point per side when rank is 0);
//   rcInnermost(dim)                      for the RC innermost record (rank >= 1), whose strides
//                                         are fixed and not read;
//   record(dim, side, stride, extent)     for every other transform record and side, where stride
//                                         is the dense-defaulted stride and extent = stride * n;
//   batch(dim, passedOn)                  last, with what the outermost record passes on.
// dims[i] is touched only for i < rank, so with rank 0 `dims` may be null.
template <class Dim, class Visitor>
void walkDenseLayout(Transform kind, unsigned long rank, Dim* dims, Dim& batch, Visitor& visit) {
  using DimSides = Sides<std::remove_const_t<Dim>>;
  Words<Dim> passedOn;
  unsigned long outer = rank;  // dims[0, outer) follow the general rule
  if (kind == Transform::rc && rank != 0) {
    outer = rank - 1;
    for (std::size_t side = 0; side < DimSides::kCount; ++side) {
      passedOn[side] = DimSides::rcInnerExtent(side, dims[outer].n);
    }
  } else {
    for (std::size_t side = 0; side < DimSides::kCount; ++side) {
      passedOn[side] = DimSides::pointScalars(kind, side);
    }
  }
  visit.start(passedOn);
  if (outer != rank) visit.rcInnermost(dims[outer]);
  while (outer != 0) {
    Dim& dim = dims[--outer];
    for (std::size_t side = 0; side < DimSides::kCount; ++side) {
      const Word stride = denseStride(dim.*DimSides::kStride[side], passedOn[side]);
      passedOn[side] = stride * word(dim.n);
      visit.record(dim, side, stride, passedOn[side]);
    }
  }
  visit.batch(batch, passedOn);
}

}  // namespace tov::fft::detail
