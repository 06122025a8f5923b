// Twiddle-factor tables for the FFT kernels: column tables for the stages of a factorised
// transform.
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

#ifndef TOV_API
#define TOV_API __attribute__((visibility("default")))
#endif

namespace tov::fft {

// Writes the column table of `plan`: for each stage of radix r entered with running length
// L >= 2, the values w(j*m, L*r) for j = 1 ... L-1 (outer) and m = 1 ... r-1 (inner), complex
// values interleaved, real part first. The array must hold getColTwidTableSize(plan) elements.
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

}  // namespace tov::fft
