// Twiddle-factor tables for the FFT kernels: column tables for the stages of a factorised
// transform, and row tables laid out lane by lane for kernels of VL complex lanes.
//
// A twiddle plan is an array of 32-bit integers: the factor count S in the low byte of word 0,
// the first factor in word 1 and S - 1 factor entries from word 2 on. An entry from 0 to 65535
// is one stage of that radix; any other word packs a repeat count (bits 0-15) and a radix
// (the word shifted right arithmetically by 16). Row tables also read word 0 as a signed
// integer: above 255 it asks for the two chirp blocks of Bluestein's algorithm.
//
// Every value is cos(2*pi*k/N) + i*sin(2*pi*k/N), fixed to the last bit whatever the caller's
// MXCSR setting. The float and double writers need AVX2 with FMA, the _Float16 writers AVX-512
// with FP16; call them only on a processor that has these instruction sets.
#pragma once

#include "tov/export.hpp"

namespace tov::fft {

// Writes the column table of `plan`: for each stage of radix r entered with running length
// L >= 2, the values w(j*m, L*r) for j = 1 ... L-1 (outer) and m = 1 ... r-1 (inner), complex
// values interleaved, real part first. The array must hold getColTwidTableSize(plan) elements.
// The writers are explicit specializations rather than instances of one definition: each is
// defined in the file built for its instruction set, and _Float16 can only be named where the
// compiler knows the type (clang 14 only with AVX-512 FP16 enabled).
template <typename T>
void writeColTwidTable(int const* plan, T* table);

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

// Writes a row table for kernels of VL complex lanes. With `rc` true, the split table of a
// real-to-complex transform of length 2*length (the plan is not read); otherwise the stages of
// the plan but the last as in the column table, the last stage lane by lane from the next
// vector block on, and, when the plan's chirp flag is set, the chirp blocks for a transform of
// `length` points. Elements in the gaps before a vector-block boundary are left untouched.
template <long VL, typename T>
void writeRowTwidTable(bool rc, long length, int const* plan, T* table);

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

}  // namespace tov::fft
