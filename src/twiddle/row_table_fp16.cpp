// Row tables in _Float16 for AVX-512 FP16: the shared walk with the half conversion of
// fp16_store.hpp, and the chirp filter divided in half precision (vdivsh).
#define TOV_TWIDDLE_ISA avx512fp16
#include "twiddle/fp16_store.hpp"
#include "twiddle/row_engine.hpp"

namespace tov::fft {

template <>
void writeRowTwidTable<16, _Float16>(bool rc, long length, int const* plan, _Float16* table) {
  detail::MxcsrGuard guard;
  detail::avx512fp16::writeRowTable<16>(rc, length, plan, table);
}

}  // namespace tov::fft
