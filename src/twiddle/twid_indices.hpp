// The indices k of the values a table section holds, in table order, one batch at a time: vector()
// gives u = 8k of the next V::kLanes positions as exact doubles (k < N < 2^47, so 8k < 2^50),
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
// j = 1 ... r-1, then the lanes i = 0 ... VL-1. ProductWalk gives them one at a time.
class ProductWalk {
 public:
  ProductWalk(std::int64_t width, std::int64_t group, std::int64_t first)
      : width_(width), group_(group), outer_(first) {}
  std::int64_t next() {
    const std::int64_t k = wrapMul(outer(), inner_);
    if (++member_ < group_) return k;
    member_ = 0;
    if (++inner_ <= width_) return k;
    inner_ = 1;
    outer_ = wrapAdd(outer_, group_);
    return k;
  }
  // The factors of the next index.
  std::int64_t outer() const { return wrapAdd(outer_, member_); }
  std::int64_t inner() const { return inner_; }

 private:
  std::int64_t width_, group_, outer_, member_ = 0, inner_ = 1;
};

// The same indices in batches, from a table of one period. The inner values repeat every
// group*width positions, so every S = lcm(V::kLanes, group*width) positions, P = S / kLanes
// batches, and over those every outer value moves on by S / width: batch b + P is batch b plus,
// lane by lane, 8 * (S / width) * inner. The table holds u and that step for each batch of a
// period, so a batch costs one addition (exact: every u below 2^53 is an integer). The period is
// stretched to at least kMinPeriod batches: a batch's addition then waits for the batch kMinPeriod
// before it, not for the one just before. Plans whose period exceeds kMaxPeriod batches take
// ProductIndices.
template <class V>
class PeriodicProducts {
 public:
  static constexpr std::int64_t kMaxPeriod = 64, kMinPeriod = 4;
  struct Slot {
    alignas(sizeof(typename V::Reg)) double u[V::kLanes];
    double step[V::kLanes];
  };

  // The period in batches; 0 if above kMaxPeriod or for an empty section (width or group below
  // 1). group * width stays far below 2^63: widths come from plan words (below 2^31), groups
  // are at most 16.
  static std::int64_t periodOf(std::int64_t width, std::int64_t group) {
    if (width < 1 || group < 1) return 0;  // an empty section: nothing to tabulate
    const std::int64_t cycle = group * width;
    std::int64_t a = V::kLanes, b = cycle;
    while (b != 0) {
      const std::int64_t rest = a % b;
      a = b;
      b = rest;
    }
    std::int64_t period = cycle / a;  // lcm(kLanes, cycle) / kLanes
    if (period > kMaxPeriod) return 0;
    while (period < kMinPeriod) period *= 2;
    return period;
  }

  // For `count` positions (the writer asks for at most a few batches past them); `slots` holds
  // periodOf(width, group) entries and must outlive the generator and its copies.
  PeriodicProducts(std::int64_t width, std::int64_t group, std::int64_t first, std::int64_t count,
                   Slot* slots)
      : slots_(slots), walk_(width, group, first) {
    const std::int64_t period = periodOf(width, group);
    const std::int64_t advance = period * V::kLanes / width;
    // Only the batches a short section uses: it never wraps around then.
    const std::int64_t used = count / V::kLanes + 4;
    period_ = used < period ? used : period;
    ProductWalk walk = walk_;
    for (std::int64_t b = 0; b < period_; ++b) {
      for (int p = 0; p < V::kLanes; ++p) {
        slots[b].step[p] = 8.0 * static_cast<double>(wrapMul(advance, walk.inner()));
        slots[b].u[p] = 8.0 * static_cast<double>(walk.next());
      }
    }
  }

  typename V::Reg vector() {
    Slot& slot = slots_[at_];
    const typename V::Reg u = V::load(slot.u);
    V::store(slot.u, V::add(u, V::load(slot.step)));
    at_ = at_ + 1 == period_ ? 0 : at_ + 1;
    return u;
  }

  void scalar(std::int64_t* k) {
    for (int p = 0; p < V::kLanes; ++p) k[p] = walk_.next();
  }

 private:
  Slot* slots_;
  std::int64_t period_, at_ = 0;
  ProductWalk walk_;
};

// The same indices for any period, stepped in registers: each batch moves inner on by
// V::kLanes / group positions and wraps it past width. `group` must divide V::kLanes.
template <class V>
class ProductIndices {
 public:
  ProductIndices(std::int64_t width, std::int64_t group, std::int64_t first)
      : walk_(width, group, first) {
    // Lane p starts at position p. The outer factor is kept times 8, so that the product is
    // u = 8k.
    alignas(64) double outer[V::kLanes], inner[V::kLanes];
    ProductWalk walk = walk_;
    for (int p = 0; p < V::kLanes; ++p, walk.next()) {
      outer[p] = 8.0 * static_cast<double>(walk.outer());
      inner[p] = static_cast<double>(walk.inner());
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
    for (int p = 0; p < V::kLanes; ++p) k[p] = walk_.next();
  }

 private:
  ProductWalk walk_;
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
