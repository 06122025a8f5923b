// The exported float and double writers: each is a GNU indirect function whose resolver the
// dynamic loader calls once, at load time, to pick the 512-bit path on processors that
// detectArchitecture classifies as avx512 or above and the 256-bit path otherwise. The loader
// stores the choice in the library's relocated function slots; the library keeps no variable
// of its own, and a call costs one indirect jump.
//
// The resolvers run while the loader relocates, before any constructor, sanitizer runtimes
// included: this file is built without sanitizer instrumentation (see CMakeLists.txt) and
// calls nothing outside it but the header-only classification behind detectArchitecture and
// the header-only CPUID reader.
#include "config/classify_architecture.hpp"
#include "cpu/cpuid.hpp"
#include "tov/fft/twiddle.hpp"
#include "twiddle/paths.hpp"

namespace tov::fft::detail {

namespace {

// The paths the exported writers take. Measured on the 2^20-point radix-4 column plan (README,
// Performance), the reciprocal division is within the noise in 512-bit vectors and a few per cent
// slower in 256-bit ones. It is taken for the double tables in 512-bit vectors only, where the
// compensated polynomial's two divisions per value are the bound on processors whose divider is
// slower than this one's.
using Wide = Writers<avx512::Vec512, false>;
using WideDouble = Writers<avx512::Vec512, true>;
using Narrow = Writers<avx2::Vec256, false>;

// detectArchitecture's decision, from this file's own uninstrumented readers.
bool hasAvx512() {
  const auto level = tov::detail::classifyArchitecture(
      tov::detail::gatherCpuidWords([](std::uint32_t leaf, std::uint32_t subleaf) {
        return tov::detail::readCpuid(leaf, subleaf);
      }),
      [] { return tov::detail::readXcr0(); });
  const auto avx512 = static_cast<int>(Architecture::avx512);
  return (static_cast<int>(level) & avx512) == avx512;
}

}  // namespace

}  // namespace tov::fft::detail

// The resolvers, named in the ifunc attributes below: C linkage keeps the names plain, and
// external linkage keeps compilers from calling them unused (the library exports none of them).
extern "C" {
using tov::fft::detail::hasAvx512;
using tov::fft::detail::Narrow;
using tov::fft::detail::Wide;
using tov::fft::detail::WideDouble;
using ColFloat = void (*)(int const*, float*);
using ColDouble = void (*)(int const*, double*);
using RowFloat = void (*)(bool, long, int const*, float*);
using RowDouble = void (*)(bool, long, int const*, double*);

ColFloat tov_resolve_col_float() { return hasAvx512() ? &Wide::colFloat : &Narrow::colFloat; }
ColDouble tov_resolve_col_double() {
  return hasAvx512() ? &WideDouble::colDouble : &Narrow::colDouble;
}
RowDouble tov_resolve_row2_double() {
  return hasAvx512() ? &WideDouble::row2Double : &Narrow::row2Double;
}
RowFloat tov_resolve_row4_float() { return hasAvx512() ? &Wide::row4Float : &Narrow::row4Float; }
RowDouble tov_resolve_row4_double() {
  return hasAvx512() ? &WideDouble::row4Double : &Narrow::row4Double;
}
RowFloat tov_resolve_row8_float() { return hasAvx512() ? &Wide::row8Float : &Narrow::row8Float; }
}

namespace tov::fft {

template <>
void writeColTwidTable<float>(int const* plan, float* table)
    __attribute__((ifunc("tov_resolve_col_float")));
template <>
void writeColTwidTable<double>(int const* plan, double* table)
    __attribute__((ifunc("tov_resolve_col_double")));
template <>
void writeRowTwidTable<2, double>(bool rc, long length, int const* plan, double* table)
    __attribute__((ifunc("tov_resolve_row2_double")));
template <>
void writeRowTwidTable<4, float>(bool rc, long length, int const* plan, float* table)
    __attribute__((ifunc("tov_resolve_row4_float")));
template <>
void writeRowTwidTable<4, double>(bool rc, long length, int const* plan, double* table)
    __attribute__((ifunc("tov_resolve_row4_double")));
template <>
void writeRowTwidTable<8, float>(bool rc, long length, int const* plan, float* table)
    __attribute__((ifunc("tov_resolve_row8_float")));

}  // namespace tov::fft
