// The float and double writers in each vector width and way of dividing (the paths), for the
// exported writers to choose from at load time and for tests and benchmarks to call one by one
// (path_table.hpp). Internal: nothing here is exported from the shared library.
#pragma once

#include "tov/config.hpp"

namespace tov::fft::detail {

namespace avx2 {
struct Vec256;
}
namespace avx512 {
struct Vec512;
}

// The writers evaluated with the vector width V, each defined in the file built for V's
// instruction set and each bracketing its work with the MXCSR switch of the exported writers.
// kReciprocal divides by a correctly rounded reciprocal instead of dividing (see divideByN in
// twid_value.hpp); the bits are the same either way.
template <class V, bool kReciprocal>
struct Writers {
  static void colFloat(int const* plan, float* table);
  static void colDouble(int const* plan, double* table);
  static void row2Double(bool rc, long length, int const* plan, double* table);
  static void row4Float(bool rc, long length, int const* plan, float* table);
  static void row4Double(bool rc, long length, int const* plan, double* table);
  static void row8Float(bool rc, long length, int const* plan, float* table);
  // re[i] + i*im[i] = w(k[i], n[i]) before the conversion to a table's type, with
  // 0 <= k[i] < n[i], for the double tables' polynomial (compensated) or the other, in plain or
  // conjugate form. The same code as the writers: the vector reduction below N = 2^47, the
  // integer one from there on.
  static void values(const long* k, const long* n, long count, bool compensated, bool conjugate,
                     double* re, double* im);
  // t[i] = u[i] / n and e[i] = (u[i] - t[i]*n) / n, each rounded to nearest, as the writers form
  // them for 1 <= n < 2^50 and integers |u[i]| <= n.
  static void quotients(double n, const double* u, long count, double* t, double* e);
};

}  // namespace tov::fft::detail
