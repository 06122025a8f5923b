// Calling the column writers for an element type chosen at run time, into sentinel-filled
// arrays with a guard region behind the documented size.
#pragma once

#include <xmmintrin.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "support/twid_oracle.hpp"
#include "tov/fft/twiddle.hpp"
#include "twiddle/cpu.hpp"

namespace tov::test {

inline constexpr unsigned char kSentinel = 0xA5;
inline constexpr long kGuardElems = 64;

// False for _Float16 also when this compiler cannot name the type in baseline code (clang 14).
inline bool cpuRuns(Elem e) {
#if !defined(__FLT16_MAX__)
  if (e == Elem::f16) return false;
#endif
  return e == Elem::f16 ? cpuHasAvx512Fp16() : cpuHasAvx2();
}

inline const char* elemName(Elem e) {
  return e == Elem::f16 ? "_Float16" : e == Elem::f32 ? "float" : "double";
}

inline void callColWriter(const int* plan, Elem e, void* table) {
  switch (e) {
    case Elem::f32: fft::writeColTwidTable<float>(plan, static_cast<float*>(table)); break;
    case Elem::f64: fft::writeColTwidTable<double>(plan, static_cast<double*>(table)); break;
    case Elem::f16:
#if defined(__FLT16_MAX__)
      fft::writeColTwidTable<_Float16>(plan, static_cast<_Float16*>(table));
#endif
      break;
  }
}

// The five row-table instances, sized and called with the vector length and type chosen at run
// time.
struct Instance {
  long vl;
  Elem e;
};

inline constexpr Instance kInstances[] = {
    {2, Elem::f64}, {4, Elem::f32}, {4, Elem::f64}, {8, Elem::f32}, {16, Elem::f16}};

inline long rowSize(long vl, bool rc, long length, const int* plan) {
  switch (vl) {
    case 2: return tov::fft::getRowTwidTableSize<2>(rc, length, plan);
    case 4: return tov::fft::getRowTwidTableSize<4>(rc, length, plan);
    case 8: return tov::fft::getRowTwidTableSize<8>(rc, length, plan);
    default: return tov::fft::getRowTwidTableSize<16>(rc, length, plan);
  }
}

inline void callRowWriter(Instance in, bool rc, long length, const int* plan, void* table) {
  if (in.vl == 2) {
    tov::fft::writeRowTwidTable<2, double>(rc, length, plan, static_cast<double*>(table));
  } else if (in.vl == 4 && in.e == Elem::f32) {
    tov::fft::writeRowTwidTable<4, float>(rc, length, plan, static_cast<float*>(table));
  } else if (in.vl == 4) {
    tov::fft::writeRowTwidTable<4, double>(rc, length, plan, static_cast<double*>(table));
  } else if (in.vl == 8) {
    tov::fft::writeRowTwidTable<8, float>(rc, length, plan, static_cast<float*>(table));
  } else {
#if defined(__FLT16_MAX__)
    tov::fft::writeRowTwidTable<16, _Float16>(rc, length, plan, static_cast<_Float16*>(table));
#endif
  }
}

// An array of `elems` elements plus the guard, every byte kSentinel.
struct SentinelTable {
  SentinelTable(long elems, Elem elem)
      : e(elem),
        size(elems),
        bytes(static_cast<std::size_t>((elems + kGuardElems) * 8), kSentinel) {}
  void* data() { return bytes.data(); }
  std::uint64_t at(long i) const { return readBits(bytes.data(), i, e); }
  // Index of the first element from `from` on (guard included) that still holds the sentinel,
  // or -1; and of the first element at or after `size` that does not.
  bool guardIntact() const {
    for (std::size_t b = static_cast<std::size_t>(size * elemBytes(e)); b < bytes.size(); ++b) {
      if (bytes[b] != kSentinel) return false;
    }
    return true;
  }
  Elem e;
  long size;
  std::vector<unsigned char> bytes;
};

// Compares a written table with the expected bits; returns the number of differing elements
// and reports the first few.
inline long countMismatches(const SentinelTable& t, const std::vector<std::uint64_t>& want,
                            const char* what) {
  long bad = 0;
  for (long i = 0; i < static_cast<long>(want.size()); ++i) {
    if (t.at(i) != want[static_cast<std::size_t>(i)] && ++bad <= 3) {
      ADD_FAILURE() << what << " (" << elemName(t.e) << "): element " << i << " is 0x" << std::hex
                    << t.at(i) << ", want 0x" << want[static_cast<std::size_t>(i)] << std::dec;
    }
  }
  return bad;
}

// `write(table)` writes a table of `size` elements. Under round toward zero (bits 13-14),
// flush-to-zero (bit 15), denormals-are-zero (bit 6), a stale invalid flag (bit 0) and
// divide-by-zero unmasked (bit 9 clear) the table must be bit for bit the one written under the
// reference setting, and MXCSR must come back whole. Under the reference control bits (with a
// stale denormal flag) MXCSR is not rewritten: the inexact flag (bit 5) raised inside stays set.
template <class Write>
void expectMxcsrBracket(long size, Elem e, Write write) {
  constexpr unsigned kOdd = (0x1F80u & ~0x200u) | 0x6000u | 0x8000u | 0x40u | 0x1u;
  SentinelTable ref(size, e), odd(size, e);
  write(ref.data());
  const unsigned saved = _mm_getcsr();
  _mm_setcsr(kOdd);
  write(odd.data());
  const unsigned afterOdd = _mm_getcsr();
  _mm_setcsr(0x1F80u | 0x2u);
  write(ref.data());
  const unsigned afterReference = _mm_getcsr();
  _mm_setcsr(saved);
  EXPECT_EQ(odd.bytes, ref.bytes);
  EXPECT_EQ(afterOdd, kOdd);
  EXPECT_EQ(afterReference & ~0x1Du, 0x1F80u | 0x2u | 0x20u) << "rewritten although it matched";
}

}  // namespace tov::test
