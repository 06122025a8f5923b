// Explicit instantiations of Writers<V, R> (path_writers.hpp) in three groups, so that each file
// builds exactly the groups shipped_paths.hpp assigns to it. Use at namespace tov::fft::detail.
#pragma once

#define TOV_INSTANTIATE_FLOAT_WRITERS(V, R)                               \
  template void Writers<V, R>::colFloat(int const*, float*);              \
  template void Writers<V, R>::row4Float(bool, long, int const*, float*); \
  template void Writers<V, R>::row8Float(bool, long, int const*, float*)

#define TOV_INSTANTIATE_DOUBLE_WRITERS(V, R)                                \
  template void Writers<V, R>::colDouble(int const*, double*);              \
  template void Writers<V, R>::row2Double(bool, long, int const*, double*); \
  template void Writers<V, R>::row4Double(bool, long, int const*, double*)

// The value and division hooks of both divisions, for tests and benchmarks only.
#define TOV_INSTANTIATE_TEST_HOOKS(V)                                                          \
  template void Writers<V, false>::values(const long*, const long*, long, bool, bool, double*, \
                                          double*);                                            \
  template void Writers<V, true>::values(const long*, const long*, long, bool, bool, double*,  \
                                         double*);                                             \
  template void Writers<V, false>::quotients(double, const double*, long, double*, double*);   \
  template void Writers<V, true>::quotients(double, const double*, long, double*, double*)

// Everything a width's shipped division `kShipped` leaves out: the other division's writers and
// the hooks of both, for tov_test_only_obj.
#define TOV_INSTANTIATE_TEST_PATHS(V, kShipped)                  \
  TOV_INSTANTIATE_FLOAT_WRITERS(V, !kShipped.floatReciprocal);   \
  TOV_INSTANTIATE_DOUBLE_WRITERS(V, !kShipped.doubleReciprocal); \
  TOV_INSTANTIATE_TEST_HOOKS(V)
