// The shipped float and double writers in 512-bit vectors, for processors with AVX-512 F, DQ and
// VL (the paths shipped_paths.hpp names; the others are in test_paths_avx512.cpp).
#define TOV_TWIDDLE_ISA avx512
#include "twiddle/path_writers.hpp"
#include "twiddle/shipped_paths.hpp"
#include "twiddle/vec512.hpp"
#include "twiddle/writer_instances.hpp"

namespace tov::fft::detail {

TOV_INSTANTIATE_FLOAT_WRITERS(avx512::Vec512, kShipped512.floatReciprocal);
TOV_INSTANTIATE_DOUBLE_WRITERS(avx512::Vec512, kShipped512.doubleReciprocal);

}  // namespace tov::fft::detail
