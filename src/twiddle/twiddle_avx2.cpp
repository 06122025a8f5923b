// The shipped float and double writers in 256-bit vectors, for processors with AVX2 and FMA but
// without AVX-512 (the paths shipped_paths.hpp names; the others are in test_paths_avx2.cpp).
#define TOV_TWIDDLE_ISA avx2
#include "twiddle/path_writers.hpp"
#include "twiddle/shipped_paths.hpp"
#include "twiddle/vec256.hpp"
#include "twiddle/writer_instances.hpp"

namespace tov::fft::detail {

TOV_INSTANTIATE_FLOAT_WRITERS(avx2::Vec256, kShipped256.floatReciprocal);
TOV_INSTANTIATE_DOUBLE_WRITERS(avx2::Vec256, kShipped256.doubleReciprocal);

}  // namespace tov::fft::detail
