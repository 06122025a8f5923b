// Twiddle values w(k, N) = cos(2*pi*k/N) + i*sin(2*pi*k/N), a batch of V::kLanes at a time, for a
// vector width V (vec256.hpp or vec512.hpp). Compiled once per instruction set: see
// twid_engine.hpp for the rules of inclusion.
//
// A batch holds kLanes values side by side, the real parts in one register and the imaginary parts
// in another. Each lane goes through exactly the operations of the scalar evaluation, so neither
// the batching nor the width changes any bit of any value.
//
// The evaluation: an exact reduction of u = 8k to the octant -N < u <= N, with a half-turn flag h
// and a quarter-turn flag q such that 2*pi*k/N = (u/N)*(pi/4) + h*pi + q*pi/2; a polynomial in
// t = u/N for cos(pi*t/4) and sin(pi*t/4); and signs and an exchange of the two for (h, q). Two
// polynomials exist. The plain one (float and _Float16 tables) has degree 6 in z = t*t, about
// 2e-16 absolute error. The compensated one (double tables) has degree 7 and first-order
// corrections for what t, z and the leading coefficients lost to rounding, about 0.54 units in
// the last place.
#pragma once

#ifndef TOV_TWIDDLE_ISA
#error "define TOV_TWIDDLE_ISA to the namespace of the instruction set before including"
#endif

#include <cstdint>

#include "twiddle/twid_constants.hpp"

namespace tov::fft::detail::TOV_TWIDDLE_ISA {

// Below this N every integer of the vector reduction (up to 8N) is exact in a double and the
// reciprocal division below is exact; from it on, values are reduced in 64-bit integers.
inline constexpr std::int64_t kVectorLimit = std::int64_t{1} << 50;

template <class V>
struct Batch {
  typename V::Reg re, im;
};

// N in every lane, the multiples of it that the octant reduction compares with and subtracts (all
// exact), and, for the reciprocal division, y = 1/N rounded to nearest by one true division.
template <class V>
struct Modulus {
  using Reg = typename V::Reg;
  Modulus(Reg nd, bool withReciprocal)
      : n(nd),
        twice(V::mul(nd, V::all(2.0))),
        thrice(V::mul(nd, V::all(3.0))),
        fivefold(V::mul(nd, V::all(5.0))),
        sevenfold(V::mul(nd, V::all(7.0))),
        reciprocal(withReciprocal ? V::div(V::all(1.0), nd) : nd) {}
  Reg n, twice, thrice, fivefold, sevenfold, reciprocal;
};

// a / N rounded to nearest, for a = u (an integer, |u| <= N) and for a = u - t*N (the remainder of
// that division). With kReciprocal, through y = RN(1/N):
//   q = RN(a*y);  r = fma(-q, N, a);  result = fma(r, y, q).
// Why this is the correctly rounded x = a/N whenever 1 <= N < 2^50 (RN: round to nearest even;
// ulp(x) = 2^m, the spacing of the doubles in x's binade):
// 1. x lies at least ulp(x)/(2N) from every midpoint between doubles that is closer to it than
//    ulp(x)/4: such a midpoint is an odd multiple of 2^(m-1) or of 2^m, and a is a multiple of
//    2^(m-1) (u is an integer and |x| <= 1; a remainder is a multiple of ulp(t) and
//    |x| <= ulp(t)/2), so x - midpoint = (a - midpoint*N)/N is a multiple of 2^(m-1)/N. It is
//    not 0: a midpoint has 54 significant bits, N times it at least as many, a at most 53.
// 2. |y - 1/N| <= 2^-53/N and |a*y - q| <= ulp(q)/2 <= ulp(x), so |x - q| < 2*ulp(x) and
//    r = a - q*N, of magnitude below 2N*ulp(x) < 2^51*ulp(x) and a multiple of ulp(x)/2, is a
//    double: the fma computes it exactly.
// 3. q + r*y = x - r*(1/N - y) differs from x by less than 2N*ulp(x)*2^-53/N = 2^-52*ulp(x),
//    which is below ulp(x)/(2N) because N < 2^51. So no midpoint separates q + r*y from x, and
//    its single rounding in the last fma gives RN(x). Zero comes out +0, as from a division (a
//    is never -0: u is formed by subtractions that give +0, and a remainder of +0 or nonzero).
// The exact path (N at or above kVectorLimit) always divides.
template <class V, bool kReciprocal>
inline typename V::Reg divideByN(typename V::Reg a, const Modulus<V>& m) {
  if constexpr (kReciprocal) {
    const typename V::Reg q = V::mul(a, m.reciprocal);
    return V::fma(V::fnma(q, m.n, a), m.reciprocal, q);
  } else {
    return V::div(a, m.n);
  }
}

// Plain polynomial, per lane with its coefficients c0 ... c6:
//   A = fma(z, c6, c5); B = fma(z, c4, c3); C = fma(z2, A, B); D = fma(z, c1, c0);
//   E = fma(z, C, c2); result = fma(P*z2, E, P*D), with P = 1 (cosine) or t (sine).
// In the cosine lane P*z2 and P*D are products with 1, exact, and left out.
template <class V, const double (&c)[7]>
inline typename V::Reg plainLane(typename V::Reg z, typename V::Reg z2, typename V::Reg& d) {
  const typename V::Reg a = V::fma(z, V::all(c[6]), V::all(c[5]));
  const typename V::Reg b = V::fma(z, V::all(c[4]), V::all(c[3]));
  d = V::fma(z, V::all(c[1]), V::all(c[0]));
  return V::fma(z, V::fma(z2, a, b), V::all(c[2]));
}

template <class V>
inline Batch<V> plainPolynomial(typename V::Reg t, typename V::Reg z, typename V::Reg z2) {
  typename V::Reg dc, ds;
  const typename V::Reg ec = plainLane<V, kPlainCos>(z, z2, dc);
  const typename V::Reg es = plainLane<V, kPlainSin>(z, z2, ds);
  return {V::fma(z2, ec, dc), V::fma(V::mul(t, z2), es, V::mul(t, ds))};
}

// Q = fma(z, fma(z, fma(z, fma(z, fma(z, C7, C6), C5), C4), C3), C2)
template <class V>
inline typename V::Reg compensatedTail(const CompensatedLane& lane, typename V::Reg z) {
  typename V::Reg q = V::fma(z, V::all(lane.c[7]), V::all(lane.c[6]));
  for (int i = 5; i >= 2; --i) q = V::fma(z, q, V::all(lane.c[i]));
  return q;
}

// Compensated polynomial. With e the part of u/N that t lost and s the rounding error of z:
//   D = fma(z, A1, A0); G = fma(e, P'*D, P*(C1*s)); H = fma(z, C1, C0);
//   R = fma(M, T, fma(z, C1, -(H - C0))); Q as above;
//   result = fma(P, H, fma(P*z2, Q, fma(P, R, G)))
// with P = 1, P' = t, M = z in the cosine lane and P = t, P' = 1, M = 1 in the sine lane
// (A0, A1 the slope, T the tail of twid_constants.hpp). Bit-identical rewrites: fma(a, b, -c) is
// fms and fma(-a, b, c) is fnma (negation is exact), and fma(1, a, b) is a + b (the product is
// exact, one rounding either way).
template <class V, bool kReciprocal>
inline Batch<V> compensatedPolynomial(typename V::Reg u, const Modulus<V>& m, typename V::Reg t,
                                      typename V::Reg z, typename V::Reg z2) {
  using Reg = typename V::Reg;
  const Reg e = divideByN<V, kReciprocal>(V::fnma(t, m.n, u), m);
  const Reg s = V::fms(t, t, z);
  Batch<V> out;
  {
    const CompensatedLane& l = kCompensatedCos;
    const Reg d = V::fma(z, V::all(l.slope1), V::all(l.slope0));
    const Reg g = V::fma(e, V::mul(t, d), V::mul(V::all(l.c[1]), s));
    const Reg h = V::fma(z, V::all(l.c[1]), V::all(l.c[0]));
    const Reg hHigh = V::sub(h, V::all(l.c[0]));
    const Reg r = V::fma(z, V::all(l.tail), V::fms(z, V::all(l.c[1]), hHigh));
    out.re = V::add(h, V::fma(z2, compensatedTail<V>(l, z), V::add(r, g)));
  }
  {
    const CompensatedLane& l = kCompensatedSin;
    const Reg d = V::fma(z, V::all(l.slope1), V::all(l.slope0));
    const Reg g = V::fma(e, d, V::mul(t, V::mul(V::all(l.c[1]), s)));
    const Reg h = V::fma(z, V::all(l.c[1]), V::all(l.c[0]));
    const Reg hHigh = V::sub(h, V::all(l.c[0]));
    const Reg r = V::add(V::all(l.tail), V::fms(z, V::all(l.c[1]), hHigh));
    out.im = V::fma(t, h, V::fma(V::mul(t, z2), compensatedTail<V>(l, z), V::fma(t, r, g)));
  }
  return out;
}

// The angle of a batch after the reduction: u with -N < u <= N, the half-turn and quarter-turn
// flags h and q, t = u/N, z = t*t and z2 = z*z. Forming it is the first half of a value's chain of
// dependent operations (the reduction and the division), and angleValue the second, so a loop can
// form the angle of the next batch while it finishes this one.
template <class V>
struct Angle {
  typename V::Reg u, t, z, z2;
  typename V::Mask h, q;
};

template <class V, bool kReciprocal>
inline Angle<V> scaledAngle(typename V::Reg u, const Modulus<V>& m, typename V::Mask h,
                            typename V::Mask q) {
  const typename V::Reg t = divideByN<V, kReciprocal>(u, m);
  const typename V::Reg z = V::mul(t, t);
  return {u, t, z, V::mul(z, z), h, q};
}

// The value of the reduced angle (u/N)*(pi/4) + h*pi + q*pi/2. The octant fix-up XORs a sign pair
// from the table {0, 0, S, S, 0, 0} (S the sign bit) at word 2h + q (plain form) or 2h + q + 1
// (conjugate form) into (cos, sin) and exchanges the two when q is set. Read off the windows: the
// cosine sign is h (plain) or h ^ q (conjugate), the sine sign h ^ q (plain) or !h (conjugate).
template <class V, bool kCompensated, bool kConjugate, bool kReciprocal>
inline Batch<V> angleValue(const Angle<V>& a, const Modulus<V>& m) {
  Batch<V> b;
  if constexpr (kCompensated) {
    b = compensatedPolynomial<V, kReciprocal>(a.u, m, a.t, a.z, a.z2);
  } else {
    b = plainPolynomial<V>(a.t, a.z, a.z2);
  }
  const typename V::Mask hq = V::maskXor(a.h, a.q);
  b.re = V::negateWhere(kConjugate ? hq : a.h, b.re);
  b.im = kConjugate ? V::negateUnless(a.h, b.im) : V::negateWhere(hq, b.im);
  return {V::select(a.q, b.re, b.im), V::select(a.q, b.im, b.re)};
}

template <class V, bool kCompensated, bool kConjugate, bool kReciprocal>
inline Batch<V> octantValue(typename V::Reg u, const Modulus<V>& m, typename V::Mask h,
                            typename V::Mask q) {
  return angleValue<V, kCompensated, kConjugate, kReciprocal>(
      scaledAngle<V, kReciprocal>(u, m, h, q), m);
}

// The angle of u = 8k with 0 <= k < N < kVectorLimit in every lane, reduced on exact doubles:
// u > 7N: u -= 8N; u > 3N: u -= 4N, h = 1; u > N: u -= 2N, q = 1. Leaves -N < u <= N.
// The three steps subtract 2N once for each of u > N, u > 3N, u > 5N, u > 7N that holds (u > 5N
// is the quarter-turn test after subtracting 4N), so the four comparisons run side by side on the
// original u: h is (u > 3N) and not (u > 7N), q an odd count. Every difference is an integer
// below 2^53, exact in any order.
template <class V, bool kReciprocal>
inline Angle<V> reducedAngle(typename V::Reg u, const Modulus<V>& m) {
  const typename V::Mask c1 = V::greater(u, m.n);
  const typename V::Mask c3 = V::greater(u, m.thrice);
  const typename V::Mask c5 = V::greater(u, m.fivefold);
  const typename V::Mask c7 = V::greater(u, m.sevenfold);
  const typename V::Mask h = V::maskXor(c3, c7);
  const typename V::Mask q = V::maskXor(V::maskXor(c1, c3), V::maskXor(c5, c7));
  const typename V::Reg low = V::subWhere(c1, V::subWhere(c3, u, m.twice), m.twice);
  const typename V::Reg high = V::addWhere(c7, V::addWhere(c5, V::all(0.0), m.twice), m.twice);
  return scaledAngle<V, kReciprocal>(V::sub(low, high), m, h, q);
}

template <class V, bool kCompensated, bool kConjugate, bool kReciprocal>
inline Batch<V> twidValue(typename V::Reg u, const Modulus<V>& m) {
  return angleValue<V, kCompensated, kConjugate, kReciprocal>(reducedAngle<V, kReciprocal>(u, m),
                                                              m);
}

// The same reduction in 64-bit integers, lane by lane, for any (k, N): the path for N from
// kVectorLimit on. Wrapping unsigned arithmetic keeps plans outside the format free of undefined
// behaviour.
template <class V, bool kCompensated, bool kConjugate>
inline Batch<V> twidValueExact(const std::int64_t* k, const std::int64_t* n) {
  alignas(64) double ud[V::kLanes], nd[V::kLanes];
  unsigned halves = 0, quarters = 0;
  for (int i = 0; i < V::kLanes; ++i) {
    const std::uint64_t un = static_cast<std::uint64_t>(n[i]);
    std::int64_t u = static_cast<std::int64_t>(static_cast<std::uint64_t>(k[i]) * 8u);
    if (u > static_cast<std::int64_t>(un * 7u)) u = static_cast<std::int64_t>(u - un * 8u);
    if (u > static_cast<std::int64_t>(un * 3u)) {
      u = static_cast<std::int64_t>(u - un * 4u);
      halves |= 1u << i;
    }
    if (u > n[i]) {
      u = static_cast<std::int64_t>(u - un * 2u);
      quarters |= 1u << i;
    }
    ud[i] = static_cast<double>(u);
    nd[i] = static_cast<double>(n[i]);
  }
  return octantValue<V, kCompensated, kConjugate, false>(
      V::load(ud), Modulus<V>(V::load(nd), false), V::maskFromBits(halves),
      V::maskFromBits(quarters));
}

}  // namespace tov::fft::detail::TOV_TWIDDLE_ISA
