// The 512-bit float paths that no resolver chooses, and the value and division hooks of both
// divisions, for the tests and benchmarks to compare with the shipped ones. Not part of the
// shared library.
#define TOV_TWIDDLE_ISA avx512
#include "twiddle/path_writers.hpp"
#include "twiddle/shipped_paths.hpp"
#include "twiddle/vec512.hpp"
#include "twiddle/writer_instances.hpp"

namespace tov::fft::detail {

TOV_INSTANTIATE_FLOAT_WRITERS(avx512::Vec512, !kShipped512.floatReciprocal);
TOV_INSTANTIATE_TEST_HOOKS(avx512::Vec512);

}  // namespace tov::fft::detail
