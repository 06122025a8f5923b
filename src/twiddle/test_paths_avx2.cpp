// The 256-bit paths that no resolver chooses, and the value and division hooks of both, for the
// tests and benchmarks to compare with the shipped ones. Not part of the shared library.
#define TOV_TWIDDLE_ISA avx2
#include "twiddle/path_writers.hpp"
#include "twiddle/shipped_paths.hpp"
#include "twiddle/vec256.hpp"
#include "twiddle/writer_instances.hpp"

namespace tov::fft::detail {

TOV_INSTANTIATE_TEST_PATHS(avx2::Vec256, kShipped256);

}  // namespace tov::fft::detail
