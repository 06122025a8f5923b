// Row tables in float and double for AVX2 with FMA.
#define TOV_TWIDDLE_ISA avx2
#include "tov/fft/twiddle.hpp"
#include "twiddle/fp_env.hpp"
#include "twiddle/row_engine.hpp"
#include "twiddle/twid_engine.hpp"

namespace tov::fft {

template <>
void writeRowTwidTable<2, double>(bool rc, long length, int const* plan, double* table) {
  detail::MxcsrGuard guard;
  detail::avx2::writeRowTable<2>(rc, length, plan, table);
}

template <>
void writeRowTwidTable<4, float>(bool rc, long length, int const* plan, float* table) {
  detail::MxcsrGuard guard;
  detail::avx2::writeRowTable<4>(rc, length, plan, table);
}

template <>
void writeRowTwidTable<4, double>(bool rc, long length, int const* plan, double* table) {
  detail::MxcsrGuard guard;
  detail::avx2::writeRowTable<4>(rc, length, plan, table);
}

template <>
void writeRowTwidTable<8, float>(bool rc, long length, int const* plan, float* table) {
  detail::MxcsrGuard guard;
  detail::avx2::writeRowTable<8>(rc, length, plan, table);
}

}  // namespace tov::fft
