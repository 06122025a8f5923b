// The shipped double writers in 512-bit vectors, in a file of their own: they are compiled with
// g++'s scheduling before register allocation as well (src/twiddle/CMakeLists.txt), which the
// float writers are not.
#define TOV_TWIDDLE_ISA avx512
#include "twiddle/path_writers.hpp"
#include "twiddle/shipped_paths.hpp"
#include "twiddle/vec512.hpp"
#include "twiddle/writer_instances.hpp"

namespace tov::fft::detail {

TOV_INSTANTIATE_DOUBLE_WRITERS(avx512::Vec512, kShipped512.doubleReciprocal);

}  // namespace tov::fft::detail
