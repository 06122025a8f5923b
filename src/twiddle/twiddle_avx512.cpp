// The shipped float writers in 512-bit vectors, for processors with AVX-512 F, DQ and VL (the
// paths shipped_paths.hpp names; the double writers are in twiddle_avx512_double.cpp, the other
// halves in test_paths_avx512.cpp).
#define TOV_TWIDDLE_ISA avx512
#include "twiddle/path_writers.hpp"
#include "twiddle/shipped_paths.hpp"
#include "twiddle/vec512.hpp"
#include "twiddle/writer_instances.hpp"

namespace tov::fft::detail {

TOV_INSTANTIATE_FLOAT_WRITERS(avx512::Vec512, kShipped512.floatReciprocal);

}  // namespace tov::fft::detail
