// Twiddle values w(k, N) = cos(2*pi*k/N) + i*sin(2*pi*k/N), a batch of V::kLanes at a time, for a
// vector width V (vec256.hpp or vec512.hpp). Compiled once per instruction set: see
// twid_engine.hpp for the rules of inclusion.
//
// A batch holds kLanes values side by side, the real parts in one register and the imaginary parts
// in another. Each lane goes through exactly the operations of the scalar evaluation, so neither
// the batching nor the width changes any bit of any value.
//
// The evaluation: an exact reduction of u = 8k to the octant -N < u <= N, with a count c of
// quarter turns such that 2*pi*k/N = (u/N)*(pi/4) + c*pi/2; a polynomial in t = u/N for
// cos(pi*t/4) and sin(pi*t/4); and signs and an exchange of the two for c. Two
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

// Below this N the vector reduction's count of quarter turns is exact (see reducedAngle), and so
// is the reciprocal division below; from it on, values are reduced in 64-bit integers.
inline constexpr std::int64_t kVectorLimit = std::int64_t{1} << 47;

template <class V>
struct Batch {
  typename V::Reg re, im;
};

// N in every lane; what the reduction multiplies, adds and subtracts: y = RN(1/(2N)),
// b = RN((N - 1/2) * y) and 2N (exact); and, for the reciprocal division, RN(1/N) from one true
// division.
template <class V>
struct Modulus {
  using Reg = typename V::Reg;
  Modulus(Reg nd, bool withReciprocal)
      : n(nd),
        twice(V::add(nd, nd)),
        halfReciprocal(V::div(V::all(0.5), nd)),
        turnOffset(V::mul(V::sub(nd, V::all(0.5)), halfReciprocal)),
        reciprocal(withReciprocal ? V::div(V::all(1.0), nd) : nd) {}
  Reg n, twice, halfReciprocal, turnOffset, reciprocal;
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

// The quarter turns c of a reduced angle (0 to 4; 4 is a whole turn), kept as the double
// c + 2^20 + 7 * 2^-32. Its ulp is 2^-32, so c is the integer in bits 32 and up of the word: the
// upper half reads 0x41300000 + c and the lower half 7. The sign lookups of vec256.hpp and
// vec512.hpp index an 8-word table with each half's low bits, c for the upper half and 7 for the
// lower one, whose entry is 0: only the sign bit of a lane can change.
inline constexpr double kTurnsBias = 1048576.0 + 7.0 / 4294967296.0;

// Sign bits of cos and sin before the exchange that an odd c makes, indexed by c. With the half
// turn h = (c mod 4 >= 2) and the quarter turn q = c mod 2, the cosine's sign is h (plain form)
// or h ^ q (conjugate form), the sine's h ^ q (plain) or not h (conjugate). Entry 4 is entry 0 (a
// whole turn) and entry 7 is 0 (the lower half's index).
inline constexpr std::uint32_t kSign = 0x80000000u;
alignas(32) inline constexpr std::uint32_t kPlainCosSigns[8] = {0, 0, kSign, kSign, 0, 0, 0, 0};
alignas(32) inline constexpr std::uint32_t kPlainSinSigns[8] = {0, kSign, kSign, 0, 0, 0, 0, 0};
alignas(32) inline constexpr std::uint32_t kConjugateCosSigns[8] = {0, kSign, kSign, 0, 0, 0, 0, 0};
alignas(32) inline constexpr std::uint32_t kConjugateSinSigns[8] = {kSign, kSign, 0, 0,
                                                                    kSign, 0,     0, 0};

// The angle of a batch after the reduction: u with -N < u <= N, its quarter turns (above),
// t = u/N, z = t*t and z2 = z*z. Forming it is the first part of a value's chain of dependent
// operations (the reduction and the division), so a loop can form the angles of later batches
// while it finishes this one.
template <class V>
struct Angle {
  typename V::Reg u, turns, t, z, z2;
};

template <class V, bool kReciprocal>
inline Angle<V> scaledAngle(typename V::Reg u, typename V::Reg turns, const Modulus<V>& m) {
  const typename V::Reg t = divideByN<V, kReciprocal>(u, m);
  const typename V::Reg z = V::mul(t, t);
  return {u, turns, t, z, V::mul(z, z)};
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

// The compensated polynomial's tail Q = fma(z, fma(z, U, C3), C2), in two parts so that a loop can
// form the upper part U = fma(z, fma(z, fma(z, C7, C6), C5), C4) a step ahead.
template <class V>
inline typename V::Reg upperTail(const CompensatedLane& lane, typename V::Reg z) {
  const typename V::Reg q = V::fma(z, V::all(lane.c[7]), V::all(lane.c[6]));
  return V::fma(z, V::fma(z, q, V::all(lane.c[5])), V::all(lane.c[4]));
}

template <class V>
inline typename V::Reg fullTail(const CompensatedLane& lane, typename V::Reg z,
                                typename V::Reg upper) {
  return V::fma(z, V::fma(z, upper, V::all(lane.c[3])), V::all(lane.c[2]));
}

// The first part of the compensated polynomial (below): e, s and the upper parts of both tails.
template <class V>
struct CompensatedStart {
  typename V::Reg e, s, cosUpper, sinUpper;
};

template <class V, bool kReciprocal>
inline CompensatedStart<V> compensatedStart(const Angle<V>& a, const Modulus<V>& m) {
  return {divideByN<V, kReciprocal>(V::fnma(a.t, m.n, a.u), m), V::fms(a.t, a.t, a.z),
          upperTail<V>(kCompensatedCos, a.z), upperTail<V>(kCompensatedSin, a.z)};
}

// Compensated polynomial. With e the part of u/N that t lost and s the rounding error of z:
//   D = fma(z, A1, A0); G = fma(e, P'*D, P*(C1*s)); H = fma(z, C1, C0);
//   R = fma(M, T, fma(z, C1, -(H - C0))); Q as above;
//   result = fma(P, H, fma(P*z2, Q, fma(P, R, G)))
// with P = 1, P' = t, M = z in the cosine lane and P = t, P' = 1, M = 1 in the sine lane
// (A0, A1 the slope, T the tail of twid_constants.hpp). Bit-identical rewrites: fma(a, b, -c) is
// fms and fma(-a, b, c) is fnma (negation is exact), and fma(1, a, b) is a + b (the product is
// exact, one rounding either way).
template <class V>
inline Batch<V> compensatedFinish(const Angle<V>& a, const CompensatedStart<V>& start) {
  using Reg = typename V::Reg;
  const Reg t = a.t, z = a.z, z2 = a.z2, e = start.e, s = start.s;
  Batch<V> out;
  {
    const CompensatedLane& l = kCompensatedCos;
    const Reg d = V::fma(z, V::all(l.slope1), V::all(l.slope0));
    const Reg g = V::fma(e, V::mul(t, d), V::mul(V::all(l.c[1]), s));
    const Reg h = V::fma(z, V::all(l.c[1]), V::all(l.c[0]));
    const Reg hHigh = V::sub(h, V::all(l.c[0]));
    const Reg r = V::fma(z, V::all(l.tail), V::fms(z, V::all(l.c[1]), hHigh));
    out.re = V::add(h, V::fma(z2, fullTail<V>(l, z, start.cosUpper), V::add(r, g)));
  }
  {
    const CompensatedLane& l = kCompensatedSin;
    const Reg d = V::fma(z, V::all(l.slope1), V::all(l.slope0));
    const Reg g = V::fma(e, d, V::mul(t, V::mul(V::all(l.c[1]), s)));
    const Reg h = V::fma(z, V::all(l.c[1]), V::all(l.c[0]));
    const Reg hHigh = V::sub(h, V::all(l.c[0]));
    const Reg r = V::add(V::all(l.tail), V::fms(z, V::all(l.c[1]), hHigh));
    out.im =
        V::fma(t, h, V::fma(V::mul(t, z2), fullTail<V>(l, z, start.sinUpper), V::fma(t, r, g)));
  }
  return out;
}

// A batch between its angle and its value: the angle and, with kStarted (compensated polynomial
// only), the first part of the polynomial, formed a step before the rest.
template <class V, bool kStarted>
struct Begun {
  Angle<V> angle;
  CompensatedStart<V> start;
};

template <class V>
struct Begun<V, false> {
  Angle<V> angle;
};

template <class V, bool kStarted, bool kReciprocal>
inline Begun<V, kStarted> beginValue(const Angle<V>& a, const Modulus<V>& m) {
  if constexpr (kStarted) {
    return {a, compensatedStart<V, kReciprocal>(a, m)};
  } else {
    return {a};
  }
}

// The value of the reduced angle (u/N)*(pi/4) + c*pi/2: the polynomial, the signs of the tables
// for c, then cos and sin exchanged where c is odd.
template <class V, bool kCompensated, bool kConjugate, bool kReciprocal, bool kStarted>
inline Batch<V> finishValue(const Begun<V, kStarted>& begun, const Modulus<V>& m) {
  const Angle<V>& a = begun.angle;
  Batch<V> b;
  if constexpr (kStarted) {
    b = compensatedFinish<V>(a, begun.start);
  } else if constexpr (kCompensated) {
    b = compensatedFinish<V>(a, compensatedStart<V, kReciprocal>(a, m));
  } else {
    b = plainPolynomial<V>(a.t, a.z, a.z2);
  }
  const typename V::Reg re =
      V::flipSigns(b.re, V::signsOf(a.turns, kConjugate ? kConjugateCosSigns : kPlainCosSigns));
  const typename V::Reg im =
      V::flipSigns(b.im, V::signsOf(a.turns, kConjugate ? kConjugateSinSigns : kPlainSinSigns));
  const typename V::Mask odd = V::oddTurns(a.turns);
  return {V::select(odd, re, im), V::select(odd, im, re)};
}

template <class V, bool kCompensated, bool kConjugate, bool kReciprocal>
inline Batch<V> angleValue(const Angle<V>& a, const Modulus<V>& m) {
  return finishValue<V, kCompensated, kConjugate, kReciprocal>(
      beginValue<V, false, kReciprocal>(a, m), m);
}

// The angle of u = 8k with 0 <= k < N < kVectorLimit in every lane. The quarter turns
//   c = floor(x), x = (u + N - 1/2) / (2N),
// count the odd multiples of N below u (x reaches j + 1 exactly when u >= (2j + 1)N + 1/2, that
// is u > (2j + 1)N for an integer u), so u - 2cN lies in -N < u <= N. Why floor(RN(u*y + b)),
// with y and b of Modulus, is c: x lies in [0, 4.5) and at least 1/(4N) from every integer
// (|u + N - 1/2 - 2Nj| >= 1/2). u*y is within 4 * 2^-53 of u/(2N) (u/(2N) < 4, y within a
// relative 2^-53 of 1/(2N)), b within 2^-55 + 2^-54 of (N - 1/2)/(2N), and the fma's rounding
// adds at most 2^-51: less than 2^-49 in all, below 1/(4N) for N < 2^47, so no integer lies
// between RN(u*y + b) and x. u - 2cN comes from one fma, exactly: 2cN <= 8N and the result are
// integers below 2^53, and a zero comes out +0.
template <class V, bool kReciprocal>
inline Angle<V> reducedAngle(typename V::Reg u, const Modulus<V>& m) {
  const typename V::Reg c = V::floor(V::fma(u, m.halfReciprocal, m.turnOffset));
  return scaledAngle<V, kReciprocal>(V::fnma(c, m.twice, u), V::add(c, V::all(kTurnsBias)), m);
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
  alignas(64) double ud[V::kLanes], nd[V::kLanes], turns[V::kLanes];
  for (int i = 0; i < V::kLanes; ++i) {
    const std::uint64_t un = static_cast<std::uint64_t>(n[i]);
    std::int64_t u = static_cast<std::int64_t>(static_cast<std::uint64_t>(k[i]) * 8u);
    double c = 0.0;
    if (u > static_cast<std::int64_t>(un * 7u)) u = static_cast<std::int64_t>(u - un * 8u);
    if (u > static_cast<std::int64_t>(un * 3u)) {
      u = static_cast<std::int64_t>(u - un * 4u);
      c += 2.0;
    }
    if (u > n[i]) {
      u = static_cast<std::int64_t>(u - un * 2u);
      c += 1.0;
    }
    ud[i] = static_cast<double>(u);
    nd[i] = static_cast<double>(n[i]);
    turns[i] = c + kTurnsBias;
  }
  const Modulus<V> m(V::load(nd), false);
  return angleValue<V, kCompensated, kConjugate, false>(
      scaledAngle<V, false>(V::load(ud), V::load(turns), m), m);
}

}  // namespace tov::fft::detail::TOV_TWIDDLE_ISA
