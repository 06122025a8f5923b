// Column tables in _Float16, for AVX-512 with FP16: the same walk and evaluation as the float
// and double writers, with the direct double-to-half conversion of the results.
#define TOV_TWIDDLE_ISA avx512fp16
#include "twiddle/fp16_store.hpp"

namespace tov::fft {

template <>
void writeColTwidTable<_Float16>(int const* plan, _Float16* table) {
  detail::MxcsrGuard guard;
  detail::avx512fp16::writeColTable(plan, table);
}

}  // namespace tov::fft
