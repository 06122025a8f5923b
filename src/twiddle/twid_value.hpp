// Internal entry points to the twiddle-value evaluation, for tests and benchmarks.
#pragma once

namespace tov::fft::detail::avx2 {

// The (real, imaginary) double pairs of twidValue(k[i], n[i]) before conversion to the element
// type, i = 0 ... count-1, with 0 <= k[i] < n[i]: single grade (float and _Float16 tables) or
// double grade, plain or conjugate form. Runs the same code as the table writers: the vector
// reduction for n below 2^50, the integer one above. Needs AVX2 with FMA.
void twidValues(const long* k, const long* n, long count, bool doubleGrade, bool conjugate,
                double* re, double* im);

}  // namespace tov::fft::detail::avx2
