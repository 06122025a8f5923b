// The float and double writers in 512-bit vectors, for processors with AVX-512 F, DQ and VL.
#define TOV_TWIDDLE_ISA avx512
#include "twiddle/vec512.hpp"
// (the vector width first: the engine's templates call its storeComplex overloads)
#include "twiddle/path_writers.hpp"

namespace tov::fft::detail {

template struct Writers<avx512::Vec512, false>;
template struct Writers<avx512::Vec512, true>;

}  // namespace tov::fft::detail
