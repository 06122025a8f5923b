// Twiddle-factor tables for the FFT kernels: column tables for the stages of a factorised
// transform, and row tables laid out lane by lane for kernels of VL complex lanes. ("Twid" in the
// names is the calling interface's short form of twiddle.)
//
// Every value is w(k, N) = cos(2*pi*k/N) + i*sin(2*pi*k/N), fixed to the last bit whatever the
// caller's MXCSR setting, and conj w(k, N) is w(k, N) with the sign of its imaginary part flipped.
// The float and double writers need AVX2 with FMA, the _Float16 writers AVX-512 with FP16; call
// them only on a processor that has these instruction sets (tov::supports, tov/config.hpp).
//
// THE PLAN. An array of 32-bit integers. Word 0: the factor count S in its low byte; read as a
// signed integer, a value above 255 (256 to 0x7FFFFFFF) is the chirp flag, which only row tables
// read. Word 1: the first factor, the running length L the walk starts with. Words 2 ... S: one
// factor entry each, in stage order. An entry from 0 to 65535 is one stage of that radix; any
// other word packs a repeat count c (bits 0-15) and a radix r (the word shifted right
// arithmetically by 16): c stages of radix r. Each stage of radix r multiplies L by r; stages of
// radix 1, and every stage once L is 0, write nothing. checkTwidPlan tells a plan inside this
// format from one outside it, for which the writers still stay inside the reported size.
//
// THE TABLES, element by element. Complex values are interleaved, real part first: value v sits
// in elements 2v and 2v + 1. ceil(x, V) is x rounded up to a multiple of V. A vector block is VL
// complex values (2 VL elements); every block start is counted from element 0 of the table, and
// gaps before a block start are never written (they keep what the array held).
//
// Column table (writeColTwidTable). For each stage in plan order, entered with running length
// L >= 2 and of radix r >= 2 (N = L r): (L - 1)(r - 1) values, value number (j - 1)(r - 1) +
// (m - 1) of the stage being w(j m, N), for j = 1 ... L-1 and m = 1 ... r-1. Stages follow each
// other without gaps. Size: 2 * sum (L - 1)(r - 1) elements (getColTwidTableSize).
//
// Row table, plan form (writeRowTwidTable with rc false). Up to four sections:
//  1. Stage block, from element 0: the column table of the first S - 2 entries (E elements).
//  2. Row block, from element R0 = ceil(E, 2 VL), for the row stage: the last entry, read as a
//     plain radix r (none when S < 2 or r = 1), entered with running length L, N = L r.
//     - G = floor(L / VL) full lane groups: for q = 0 ... G-1 (outer), j = 1 ... r-1 (inner),
//       one vector block whose lane i holds w((q VL + i) j, N). Value index from R0:
//       ((q (r - 1) + j - 1) VL + i). No block for j = 0 (all ones).
//     - Then L - G VL remainder rows, k = G VL ... L-1, each W values wide, row number
//       t = k - G VL starting at value G VL (r - 1) + t W. When r mod VL = 1: W = r - 1 and the
//       row holds w(k j, N), j = 1 ... r-1. Otherwise the row holds w(k j, N), j = 0 ... r-1
//       (w(0, N) = (1, +0)), then zeros up to W, the smallest width >= r that is a power of two
//       or a multiple of VL (VL = 4: r = 3 gives 4, r = 6 gives 8, r = 10 gives 12).
//  3. Chirp block, only with the chirp flag, from A = ceil(end of row block, 2 VL), for
//     n = `length` points: a[j] = w(j^2 mod 2n, 2n), j = 0 ... n-1, zeros up to ceil(n, VL)
//     values.
//  4. Filter block, from B = A + 2 ceil(n, VL), of M = L r (the first factor when S < 2) values
//     rounded up to ceil(M, VL): zeros except b[0] = a[0] / M and b[j] = b[M - j] = a[j] / M for
//     j = 1 ... n-1. Each part is divided in T, by M converted to T, so the 1/M scaling of a
//     _Float16 table is that of half precision, and a zero imaginary part stays +0. The blocks
//     assume M >= 2n - 1, so that j and M - j never meet.
//  Size: the end of the last section (getRowTwidTableSize).
//
// Row table, split form (rc true; the plan is not read), for a real-to-complex transform of
// n = `length` real points, h = floor(n / 2): value j - 1 is conj w(j, 2n) for j = 1 ... h
// rounded up to even (when h is odd, value h is conj w(h + 1, 2n), not zero), then zeros up to
// ceil(h, VL) values. Empty when n < 2. Size: 2 ceil(h, VL) elements.
#pragma once

#include <climits>

#include "tov/export.hpp"

namespace tov::fft {

// Writes the column table of `plan` into `table`, which holds getColTwidTableSize(plan)
// elements. The writers are explicit specializations rather than instances of one definition:
// each is defined in the file built for its instruction set, and _Float16 can only be named
// where the compiler knows the type (clang 14 only with AVX-512 FP16 enabled). Any other T fails
// to compile.
template <typename T>
void writeColTwidTable(int const*, T*) {
  static_assert(sizeof(T) == 0, "column tables exist for float, double and _Float16");
}

template <>
TOV_API void writeColTwidTable<float>(int const* plan, float* table);
template <>
TOV_API void writeColTwidTable<double>(int const* plan, double* table);
#if defined(__FLT16_MAX__)
template <>
TOV_API void writeColTwidTable<_Float16>(int const* plan, _Float16* table);
#endif

// The number of elements of T (two per complex value) that writeColTwidTable<T> writes.
TOV_API long getColTwidTableSize(int const* plan);

// Writes a row table for kernels of VL complex lanes: with `rc` true the split table for
// `length`, otherwise the plan form, its chirp blocks for `length` points when the plan's chirp
// flag is set. `table` holds getRowTwidTableSize<VL>(rc, length, plan) elements. Only the
// (VL, T) pairs below compile.
template <long VL, typename T>
void writeRowTwidTable(bool, long, int const*, T*) {
  static_assert(VL != VL,  // false for every VL, yet evaluated only when instantiated
                "row tables exist for (2, double), (4, float), (4, double), (8, float) "
                "and (16, _Float16)");
}

template <>
TOV_API void writeRowTwidTable<2, double>(bool rc, long length, int const* plan, double* table);
template <>
TOV_API void writeRowTwidTable<4, float>(bool rc, long length, int const* plan, float* table);
template <>
TOV_API void writeRowTwidTable<4, double>(bool rc, long length, int const* plan, double* table);
template <>
TOV_API void writeRowTwidTable<8, float>(bool rc, long length, int const* plan, float* table);
#if defined(__FLT16_MAX__)
template <>
TOV_API void writeRowTwidTable<16, _Float16>(bool rc, long length, int const* plan,
                                             _Float16* table);
#endif

// The number of elements of T from element 0 to the end of the last section that
// writeRowTwidTable<VL, T>(rc, length, plan, ...) writes, gaps included.
template <long VL>
TOV_API long getRowTwidTableSize(bool rc, long length, int const* plan);

extern template long getRowTwidTableSize<2>(bool, long, int const*);
extern template long getRowTwidTableSize<4>(bool, long, int const*);
extern template long getRowTwidTableSize<8>(bool, long, int const*);
extern template long getRowTwidTableSize<16>(bool, long, int const*);

// The transform length M of `plan` (the first factor times every radix) when it lies inside the
// format for a column table (rowTable false) or a row table in plan form (rowTable true, with
// chirp blocks for `length` points when the chirp flag is set); -1 when it lies outside: a
// negative first factor, a radix below 1, M above LONG_MAX, a packed row-stage entry, or chirp
// blocks with a negative `length` or M < 2 * length - 1. 0 for a plan with no factor (S = 0)
// and no chirp blocks. The writers accept any plan; this tells a malformed plan from an empty
// table.
inline long checkTwidPlan(bool rowTable, long length, int const* plan) noexcept {
  const int count = plan[0] & 0xFF;
  const bool chirp = rowTable && plan[0] > 255;
  if (count == 0 && !chirp) return 0;
  long running = plan[1];
  if (running < 0) return -1;
  for (int i = 2; i <= count; ++i) {
    const long word = plan[i];
    const bool plain = word >= 0 && word < 65536;
    const long radix = plain ? word : word >> 16;
    if (radix < 1 || (rowTable && i == count && !plain)) return -1;
    for (long c = plain ? 1 : (word & 0xFFFF); c > 0 && radix > 1 && running > 0; --c) {
      if (running > LONG_MAX / radix) return -1;
      running *= radix;
    }
  }
  if (chirp && (length < 0 || (length > 0 && running - length < length - 1))) return -1;
  return running;
}

}  // namespace tov::fft
