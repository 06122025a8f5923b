// The float and double writers in 256-bit vectors, for processors with AVX2 and FMA but without
// AVX-512.
#define TOV_TWIDDLE_ISA avx2
#include "twiddle/vec256.hpp"
// (the vector width first: the engine's templates call its storeComplex overloads)
#include "twiddle/path_writers.hpp"

namespace tov::fft::detail {

template struct Writers<avx2::Vec256, false>;
template struct Writers<avx2::Vec256, true>;

}  // namespace tov::fft::detail
