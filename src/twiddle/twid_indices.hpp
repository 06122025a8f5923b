// The indices k of the values a table section holds, in table order, one batch at a time: vector()
// gives u = 8k of the next V::kLanes positions as exact doubles (k < N < 2^50, so 8k < 2^53),
// scalar(k) the next V::kLanes indices as integers, for N beyond the vector range. A generator is
// asked either way for a whole section. Compiled once per instruction set (see twid_engine.hpp).
#pragma once

#ifndef TOV_TWIDDLE_ISA
#error "define TOV_TWIDDLE_ISA to the namespace of the instruction set before including"
#endif

#include <cstdint>

namespace tov::fft::detail::TOV_TWIDDLE_ISA {

// k = start, start + step, start + 2*step, ...
template <class V>
class Progression {
 public:
  Progression(std::int64_t start, std::int64_t step) : start_(start), step_(step) {
    alignas(64) static constexpr double kLaneIndex[16] = {0, 1, 2,  3,  4,  5,  6,  7,
                                                          8, 9, 10, 11, 12, 13, 14, 15};
    const double stride = 8.0 * static_cast<double>(step);
    u_ = V::fma(V::all(stride), V::load(kLaneIndex), V::all(8.0 * static_cast<double>(start)));
    stride_ = V::all(V::kLanes * stride);
  }
  typename V::Reg vector() {
    const typename V::Reg u = u_;
    u_ = V::add(u_, stride_);
    return u;
  }
  void scalar(std::int64_t* k) {
    for (int i = 0; i < V::kLanes; ++i, start_ = wrapAdd(start_, step_)) k[i] = start_;
  }

 private:
  std::int64_t start_, step_;
  typename V::Reg u_, stride_;
};

// k = outer * inner, where inner runs 1 ... width and outer moves on by `group` each time inner
// wraps; `group` consecutive positions share an inner value and have consecutive outer values,
// the first of them `first`. A column stage of radix r entered with length L is (width r - 1,
// group 1, first 1): k = j*m for j = 1 ... L-1 (outer), m = 1 ... r-1. The full lane groups of a
// row block are (width r - 1, group VL, first 0): k = (q*VL + i)*j for the groups q, then
// j = 1 ... r-1, then the lanes i = 0 ... VL-1. `group` must divide V::kLanes.
template <class V>
class ProductIndices {
 public:
  ProductIndices(std::int64_t width, std::int64_t group, std::int64_t first)
      : width_(width), group_(group), outer_(first) {
    // Lane p starts at position p. The outer factor is kept times 8, so that the product is
    // u = 8k. Stepping (no divisions: they would cost more than a small table).
    alignas(64) double outer[V::kLanes], inner[V::kLanes];
    std::int64_t blockOuter = first, member = 0, innerValue = 1;
    for (int p = 0; p < V::kLanes; ++p) {
      outer[p] = 8.0 * static_cast<double>(blockOuter + member);
      inner[p] = static_cast<double>(innerValue);
      if (++member < group) continue;
      member = 0;
      if (++innerValue <= width) continue;
      innerValue = 1;
      blockOuter += group;
    }
    outerLanes_ = V::load(outer);
    innerLanes_ = V::load(inner);
    // A batch advances blocks = V::kLanes / group positions of inner: (blocks / width) whole
    // turns, then blocks % width steps.
    const std::int64_t blocks = V::kLanes / group;
    const std::int64_t turns = blocks < width ? 0 : blocks / width;
    innerStep_ = V::all(static_cast<double>(blocks - turns * width));
    outerStep_ = V::all(8.0 * static_cast<double>(turns * group));
    wrapStep_ = V::all(8.0 * static_cast<double>(group));
    widthLanes_ = V::all(static_cast<double>(width));
  }

  typename V::Reg vector() {
    const typename V::Reg u = V::mul(outerLanes_, innerLanes_);
    // blocks = (blocks / width)*width + blocks % width, then at most one more wrap of inner.
    innerLanes_ = V::add(innerLanes_, innerStep_);
    outerLanes_ = V::add(outerLanes_, outerStep_);
    const typename V::Mask wrap = V::greater(innerLanes_, widthLanes_);
    innerLanes_ = V::subWhere(wrap, innerLanes_, widthLanes_);
    outerLanes_ = V::addWhere(wrap, outerLanes_, wrapStep_);
    return u;
  }

  void scalar(std::int64_t* k) {
    for (int p = 0; p < V::kLanes; ++p) {
      k[p] = wrapMul(wrapAdd(outer_, member_), inner_);
      if (++member_ < group_) continue;
      member_ = 0;
      if (++inner_ <= width_) continue;
      inner_ = 1;
      outer_ = wrapAdd(outer_, group_);
    }
  }

 private:
  std::int64_t width_, group_, outer_, member_ = 0, inner_ = 1;
  typename V::Reg outerLanes_, innerLanes_, innerStep_, outerStep_, wrapStep_, widthLanes_;
};

// j*j mod 2n for j = 0, 1, 2, ...: the chirp indices. Kept by adding 2j + 1 and subtracting 2n once
// (valid up to j = n; later positions are dropped by the writer). One index at a time, gathered
// into batches.
template <class V>
class SquareIndices {
 public:
  explicit SquareIndices(std::int64_t twiceN) : twiceN_(twiceN) {}
  typename V::Reg vector() {
    alignas(64) std::int64_t k[V::kLanes];
    scalar(k);
    return V::mul(V::fromInt64(k), V::all(8.0));
  }
  void scalar(std::int64_t* k) {
    for (int i = 0; i < V::kLanes; ++i) {
      k[i] = square_;
      square_ = wrapAdd(square_, wrapAdd(wrapAdd(j_, j_), 1));
      if (square_ >= twiceN_) square_ = wrapAdd(square_, -twiceN_);
      ++j_;
    }
  }

 private:
  std::int64_t twiceN_, square_ = 0, j_ = 0;
};

}  // namespace tov::fft::detail::TOV_TWIDDLE_ISA
