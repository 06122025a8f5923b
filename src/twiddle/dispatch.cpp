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
#include "tov/fft/twiddle.hpp"
#include "twiddle/paths.hpp"
#include "twiddle/shipped_paths.hpp"

namespace tov::fft::detail {

namespace {

// The paths the exported writers take (shipped_paths.hpp): F for the float writers, D for the
// double ones, in 512-bit or 256-bit vectors.
using F512 = Writers<avx512::Vec512, kShipped512.floatReciprocal>;
using D512 = Writers<avx512::Vec512, kShipped512.doubleReciprocal>;
using F256 = Writers<avx2::Vec256, kShipped256.floatReciprocal>;
using D256 = Writers<avx2::Vec256, kShipped256.doubleReciprocal>;

// detectArchitecture's decision, from this file's own uninstrumented readers.
bool hasAvx512() { return supports(tov::detail::classifyRunningProcessor(), Architecture::avx512); }

}  // namespace

}  // namespace tov::fft::detail

// The resolvers, named in the ifunc attributes below: C linkage keeps the names plain, and
// external linkage keeps compilers from calling them unused (the library exports none of them).
extern "C" {
using tov::fft::detail::D256;
using tov::fft::detail::D512;
using tov::fft::detail::F256;
using tov::fft::detail::F512;
using tov::fft::detail::hasAvx512;
using ColFloat = void (*)(int const*, float*);
using ColDouble = void (*)(int const*, double*);
using RowFloat = void (*)(bool, long, int const*, float*);
using RowDouble = void (*)(bool, long, int const*, double*);

ColFloat tov_resolve_col_float() { return hasAvx512() ? &F512::colFloat : &F256::colFloat; }
ColDouble tov_resolve_col_double() { return hasAvx512() ? &D512::colDouble : &D256::colDouble; }
RowDouble tov_resolve_row2_double() { return hasAvx512() ? &D512::row2Double : &D256::row2Double; }
RowFloat tov_resolve_row4_float() { return hasAvx512() ? &F512::row4Float : &F256::row4Float; }
RowDouble tov_resolve_row4_double() { return hasAvx512() ? &D512::row4Double : &D256::row4Double; }
RowFloat tov_resolve_row8_float() { return hasAvx512() ? &F512::row8Float : &F256::row8Float; }
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
