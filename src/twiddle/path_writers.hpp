// The definitions of Writers<V, kReciprocal> (paths.hpp) for the vector width V of the including
// file, which instantiates them explicitly. Include after vec256.hpp or vec512.hpp, with
// TOV_TWIDDLE_ISA defined (see twid_engine.hpp).
#pragma once

#include "twiddle/fp_env.hpp"
#include "twiddle/paths.hpp"
#include "twiddle/row_engine.hpp"

namespace tov::fft::detail {

namespace TOV_TWIDDLE_ISA {

template <class V, bool kCompensated, bool kConjugate, bool kReciprocal>
void evaluate(const long* k, const long* n, long count, double* re, double* im) {
  for (long i = 0; i < count; i += V::kLanes) {
    alignas(64) std::int64_t ks[V::kLanes], ns[V::kLanes], us[V::kLanes];
    bool vector = true;
    for (long lane = 0; lane < V::kLanes; ++lane) {
      const long at = i + lane < count ? i + lane : count - 1;  // repeat the last value
      ks[lane] = k[at];
      ns[lane] = n[at];
      us[lane] = wrapMul(ks[lane], 8);
      vector = vector && ns[lane] > 0 && ns[lane] < kVectorLimit;
    }
    const Batch<V> b = vector ? twidValue<V, kCompensated, kConjugate, kReciprocal>(
                                    V::fromInt64(us), Modulus<V>(V::fromInt64(ns), kReciprocal))
                              : twidValueExact<V, kCompensated, kConjugate>(ks, ns);
    alignas(64) double r[V::kLanes], m[V::kLanes];
    V::store(r, b.re);
    V::store(m, b.im);
    for (long lane = 0; lane < V::kLanes && i + lane < count; ++lane) {
      re[i + lane] = r[lane];
      im[i + lane] = m[lane];
    }
  }
}

}  // namespace TOV_TWIDDLE_ISA

template <class V, bool kReciprocal>
void Writers<V, kReciprocal>::colFloat(int const* plan, float* table) {
  MxcsrGuard guard;
  TOV_TWIDDLE_ISA::writeColTable<V, kReciprocal>(plan, table);
}

template <class V, bool kReciprocal>
void Writers<V, kReciprocal>::colDouble(int const* plan, double* table) {
  MxcsrGuard guard;
  TOV_TWIDDLE_ISA::writeColTable<V, kReciprocal>(plan, table);
}

template <class V, bool kReciprocal>
void Writers<V, kReciprocal>::row2Double(bool rc, long length, int const* plan, double* table) {
  MxcsrGuard guard;
  TOV_TWIDDLE_ISA::writeRowTable<V, kReciprocal, 2>(rc, length, plan, table);
}

template <class V, bool kReciprocal>
void Writers<V, kReciprocal>::row4Float(bool rc, long length, int const* plan, float* table) {
  MxcsrGuard guard;
  TOV_TWIDDLE_ISA::writeRowTable<V, kReciprocal, 4>(rc, length, plan, table);
}

template <class V, bool kReciprocal>
void Writers<V, kReciprocal>::row4Double(bool rc, long length, int const* plan, double* table) {
  MxcsrGuard guard;
  TOV_TWIDDLE_ISA::writeRowTable<V, kReciprocal, 4>(rc, length, plan, table);
}

template <class V, bool kReciprocal>
void Writers<V, kReciprocal>::row8Float(bool rc, long length, int const* plan, float* table) {
  MxcsrGuard guard;
  TOV_TWIDDLE_ISA::writeRowTable<V, kReciprocal, 8>(rc, length, plan, table);
}

template <class V, bool kReciprocal>
void Writers<V, kReciprocal>::values(const long* k, const long* n, long count, bool compensated,
                                     bool conjugate, double* re, double* im) {
  MxcsrGuard guard;
  using namespace TOV_TWIDDLE_ISA;
  if (compensated) {
    conjugate ? evaluate<V, true, true, kReciprocal>(k, n, count, re, im)
              : evaluate<V, true, false, kReciprocal>(k, n, count, re, im);
  } else {
    conjugate ? evaluate<V, false, true, kReciprocal>(k, n, count, re, im)
              : evaluate<V, false, false, kReciprocal>(k, n, count, re, im);
  }
}

template <class V, bool kReciprocal>
void Writers<V, kReciprocal>::quotients(double n, const double* u, long count, double* t,
                                        double* e) {
  MxcsrGuard guard;
  using namespace TOV_TWIDDLE_ISA;
  const Modulus<V> m(V::all(n), kReciprocal);
  for (long i = 0; i < count; i += V::kLanes) {
    alignas(64) double a[V::kLanes], ts[V::kLanes], es[V::kLanes];
    for (long lane = 0; lane < V::kLanes; ++lane) a[lane] = u[i + lane < count ? i + lane : i];
    const typename V::Reg quotient = divideByN<V, kReciprocal>(V::load(a), m);
    V::store(ts, quotient);
    V::store(es, divideByN<V, kReciprocal>(V::fnma(quotient, m.n, V::load(a)), m));
    for (long lane = 0; lane < V::kLanes && i + lane < count; ++lane) {
      t[i + lane] = ts[lane];
      e[i + lane] = es[lane];
    }
  }
}

}  // namespace tov::fft::detail
