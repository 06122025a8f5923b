// Calling the twiddle writers, exported or on one internal path, with the table kind chosen at
// run time, into sentinel-filled arrays with a guard region behind the reported size.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tov/config.hpp"
#include "tov/fft/twiddle.hpp"
#include "twid_oracle.hpp"
#include "twiddle/path_table.hpp"

namespace tov::test {

using fft::detail::TwiddlePath;

inline bool cpuHas(Architecture level) { return supports(detectArchitecture(), level); }

// Letters, digits and underscores, as test names need.
inline std::string testName(std::string s) {
  for (char& c : s) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return s;
}

// A table kind: vl 0 for the column table, else the row table for vl lanes.
struct Instance {
  long vl;
  Elem e;
};

// One writer: a table kind on a path (fft::detail::kExportedWriters for the exported writers).
struct Writer {
  Instance kind;
  const TwiddlePath* path;

  // False for _Float16 also when this compiler cannot name the type in baseline code (clang 14).
  bool runs() const {
#if !defined(__FLT16_MAX__)
    if (kind.e == Elem::f16) return false;
#endif
    return cpuHas(kind.e == Elem::f16 ? Architecture::avx512fp16 : path->needs);
  }
  std::string name() const {
    const char* elem = kind.e == Elem::f16 ? "Float16" : kind.e == Elem::f32 ? "Float" : "Double";
    return testName((kind.vl ? "RowVL" + std::to_string(kind.vl) : "Col") + elem + "_" +
                    path->name);
  }
  long size(bool rc, long length, const int* plan) const {
    using fft::getRowTwidTableSize;
    return kind.vl == 0   ? fft::getColTwidTableSize(plan)
           : kind.vl == 2 ? getRowTwidTableSize<2>(rc, length, plan)
           : kind.vl == 4 ? getRowTwidTableSize<4>(rc, length, plan)
           : kind.vl == 8 ? getRowTwidTableSize<8>(rc, length, plan)
                          : getRowTwidTableSize<16>(rc, length, plan);
  }
  void write(bool rc, long length, const int* plan, void* table) const {
    const auto d = static_cast<double*>(table);
    const auto f = static_cast<float*>(table);
#if defined(__FLT16_MAX__)
    const auto h = static_cast<_Float16*>(table);
    if (kind.e == Elem::f16) {
      return kind.vl == 0 ? fft::writeColTwidTable<_Float16>(plan, h)
                          : fft::writeRowTwidTable<16, _Float16>(rc, length, plan, h);
    }
#endif
    using fft::detail::writerOf;
    const bool single = kind.e == Elem::f32;
    switch (kind.vl) {
      case 0:
        return single ? writerOf<0, float>(*path)(plan, f) : writerOf<0, double>(*path)(plan, d);
      case 2: return writerOf<2, double>(*path)(rc, length, plan, d);
      case 4:
        return single ? writerOf<4, float>(*path)(rc, length, plan, f)
                      : writerOf<4, double>(*path)(rc, length, plan, d);
      default: return writerOf<8, float>(*path)(rc, length, plan, f);
    }
  }
};

// The eight exported writers and the six float and double writers of every path.
inline std::vector<Writer> allWriters() {
  std::vector<Writer> all;
  // The three column tables and the five row-table instances.
  constexpr Instance kinds[] = {{0, Elem::f32}, {0, Elem::f64}, {0, Elem::f16}, {2, Elem::f64},
                                {4, Elem::f32}, {4, Elem::f64}, {8, Elem::f32}, {16, Elem::f16}};
  for (const Instance in : kinds) all.push_back({in, &fft::detail::kExportedWriters});
  for (const TwiddlePath& path : fft::detail::kTwiddlePaths) {
    for (std::size_t i = 0; i < 8; ++i) {
      if (all[i].kind.e != Elem::f16) all.push_back({all[i].kind, &path});
    }
  }
  return all;
}

// Writers print as their test names.
inline void PrintTo(const Writer& w, std::ostream* out) { *out << w.name(); }

// Every path, for parameterized tests.
inline std::vector<const TwiddlePath*> allPaths() {
  std::vector<const TwiddlePath*> all;
  for (const TwiddlePath& path : fft::detail::kTwiddlePaths) all.push_back(&path);
  return all;
}

// An array of `elems` elements plus a guard of 64 elements, every byte 0xA5.
struct SentinelTable {
  SentinelTable(long elems, Elem elem)
      : e(elem), size(elems), bytes(static_cast<std::size_t>((elems + 64) * 8), 0xA5) {}
  void* data() { return bytes.data(); }
  std::uint64_t at(long i) const {
    std::uint64_t bits = 0;
    std::memcpy(&bits, bytes.data() + i * elemBytes(e), static_cast<std::size_t>(elemBytes(e)));
    return bits;
  }
  bool guardIntact() const {
    return std::all_of(bytes.begin() + size * elemBytes(e), bytes.end(),
                       [](int b) { return b == 0xA5; });
  }
  Elem e;
  long size;
  std::vector<unsigned char> bytes;
};

}  // namespace tov::test

namespace tov::fft::detail {
// Paths print as their test names.
inline void PrintTo(const TwiddlePath* path, std::ostream* out) {
  *out << test::testName(path->name);
}
}  // namespace tov::fft::detail
