// The 512-bit double paths that no resolver chooses, compiled as the shipped ones
// (twiddle_avx512_double.cpp), for the tests and benchmarks. Not part of the shared library.
#define TOV_TWIDDLE_ISA avx512
#include "twiddle/path_writers.hpp"
#include "twiddle/shipped_paths.hpp"
#include "twiddle/vec512.hpp"
#include "twiddle/writer_instances.hpp"

namespace tov::fft::detail {

TOV_INSTANTIATE_DOUBLE_WRITERS(avx512::Vec512, !kShipped512.doubleReciprocal);

}  // namespace tov::fft::detail
