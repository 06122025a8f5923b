// B registers of a vector width V (Vec256 or Vec512) used as one wider vector: every operation
// applies to the B registers one after another, so an evaluation written for one batch runs
// B independent batches interleaved statement by statement. One batch's chain of dependent
// divisions and fused multiply-adds leaves the vector units idle most of the time; B chains side
// by side fill them. Lane p of the wide vector is lane p % V::kLanes of register p / V::kLanes,
// so the B batches cover consecutive positions. Include after vec256.hpp or vec512.hpp, with
// TOV_TWIDDLE_ISA defined (see twid_engine.hpp).
#pragma once

#ifndef TOV_TWIDDLE_ISA
#error "define TOV_TWIDDLE_ISA to the namespace of the instruction set before including"
#endif

#include <cstdint>
#include <utility>

namespace tov::fft::detail::TOV_TWIDDLE_ISA {

template <class V, int B>
struct Multi {
  using Base = V;
  struct Reg {
    typename V::Reg r[B];
  };
  struct Mask {
    typename V::Mask m[B];
  };
  static constexpr int kLanes = B * V::kLanes;

  // f(0), f(1), ..., f(B - 1), in that order (a braced list is evaluated left to right).
  template <class F, int... I>
  static Reg each(F f, std::integer_sequence<int, I...>) {
    return Reg{{f(I)...}};
  }
  template <class F>
  static Reg each(F f) {
    return each(f, std::make_integer_sequence<int, B>{});
  }
  template <class F, int... I>
  static Mask eachMask(F f, std::integer_sequence<int, I...>) {
    return Mask{{f(I)...}};
  }
  template <class F>
  static Mask eachMask(F f) {
    return eachMask(f, std::make_integer_sequence<int, B>{});
  }

  static Reg all(double x) {
    const typename V::Reg one = V::all(x);
    return each([&](int) { return one; });
  }
  static Reg load(const double* p) {
    return each([&](int i) { return V::load(p + i * V::kLanes); });
  }
  static void store(double* p, Reg x) {
    for (int i = 0; i < B; ++i) V::store(p + i * V::kLanes, x.r[i]);
  }
  static Reg fromInt64(const std::int64_t* k) {
    return each([&](int i) { return V::fromInt64(k + i * V::kLanes); });
  }

  static Reg add(Reg a, Reg b) {
    return each([&](int i) { return V::add(a.r[i], b.r[i]); });
  }
  static Reg sub(Reg a, Reg b) {
    return each([&](int i) { return V::sub(a.r[i], b.r[i]); });
  }
  static Reg mul(Reg a, Reg b) {
    return each([&](int i) { return V::mul(a.r[i], b.r[i]); });
  }
  static Reg div(Reg a, Reg b) {
    return each([&](int i) { return V::div(a.r[i], b.r[i]); });
  }
  static Reg fma(Reg a, Reg b, Reg c) {
    return each([&](int i) { return V::fma(a.r[i], b.r[i], c.r[i]); });
  }
  static Reg fms(Reg a, Reg b, Reg c) {
    return each([&](int i) { return V::fms(a.r[i], b.r[i], c.r[i]); });
  }
  static Reg fnma(Reg a, Reg b, Reg c) {
    return each([&](int i) { return V::fnma(a.r[i], b.r[i], c.r[i]); });
  }

  static Mask greater(Reg a, Reg b) {
    return eachMask([&](int i) { return V::greater(a.r[i], b.r[i]); });
  }
  static Mask maskXor(Mask a, Mask b) {
    return eachMask([&](int i) { return V::maskXor(a.m[i], b.m[i]); });
  }
  // Bit p for lane p; each register reads its own V::kLanes bits (the bits above are ignored).
  static Mask maskFromBits(unsigned bits) {
    return eachMask([&](int i) { return V::maskFromBits(bits >> (i * V::kLanes)); });
  }
  static Reg subWhere(Mask m, Reg a, Reg b) {
    return each([&](int i) { return V::subWhere(m.m[i], a.r[i], b.r[i]); });
  }
  static Reg addWhere(Mask m, Reg a, Reg b) {
    return each([&](int i) { return V::addWhere(m.m[i], a.r[i], b.r[i]); });
  }
  static Reg negateWhere(Mask m, Reg x) {
    return each([&](int i) { return V::negateWhere(m.m[i], x.r[i]); });
  }
  static Reg negateUnless(Mask m, Reg x) {
    return each([&](int i) { return V::negateUnless(m.m[i], x.r[i]); });
  }
  static Reg select(Mask m, Reg a, Reg b) {
    return each([&](int i) { return V::select(m.m[i], a.r[i], b.r[i]); });
  }
};

// The B batches stored one after another, each by its width's own interleaving store.
template <class V, int B, typename T>
inline void storeComplex(Multi<V, B>, T* out, typename Multi<V, B>::Reg re,
                         typename Multi<V, B>::Reg im) {
  for (int i = 0; i < B; ++i) storeComplex(V{}, out + 2 * i * V::kLanes, re.r[i], im.r[i]);
}

}  // namespace tov::fft::detail::TOV_TWIDDLE_ISA
