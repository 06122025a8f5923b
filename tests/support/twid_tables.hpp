// Calling the twiddle writers, exported or on one internal path, with the table kind chosen at
// run time, into sentinel-filled arrays with a guard region behind the reported size.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "support/twid_oracle.hpp"
#include "tov/config.hpp"
#include "tov/fft/twiddle.hpp"
#include "twiddle/path_table.hpp"

namespace tov::test {

using fft::detail::TwiddlePath;

inline bool cpuHas(Architecture level) {
  const int bits = static_cast<int>(level);
  return (static_cast<int>(detectArchitecture()) & bits) == bits;
}

// False for _Float16 also when this compiler cannot name the type in baseline code (clang 14).
inline bool cpuRuns(Elem e) {
#if !defined(__FLT16_MAX__)
  if (e == Elem::f16) return false;
#endif
  return cpuHas(e == Elem::f16 ? Architecture::avx512fp16 : Architecture::avx2);
}

inline const char* elemName(Elem e) {
  return e == Elem::f16 ? "Float16" : e == Elem::f32 ? "Float" : "Double";
}

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

// The column tables and the five row-table instances.
inline constexpr Instance kColumns[] = {{0, Elem::f32}, {0, Elem::f64}, {0, Elem::f16}};
inline constexpr Instance kInstances[] = {
    {2, Elem::f64}, {4, Elem::f32}, {4, Elem::f64}, {8, Elem::f32}, {16, Elem::f16}};

inline long rowSize(long vl, bool rc, long length, const int* plan) {
  switch (vl) {
    case 2: return fft::getRowTwidTableSize<2>(rc, length, plan);
    case 4: return fft::getRowTwidTableSize<4>(rc, length, plan);
    case 8: return fft::getRowTwidTableSize<8>(rc, length, plan);
    default: return fft::getRowTwidTableSize<16>(rc, length, plan);
  }
}

inline void callColWriter(const int* plan, Elem e, void* table) {
  if (e == Elem::f32) fft::writeColTwidTable<float>(plan, static_cast<float*>(table));
  if (e == Elem::f64) fft::writeColTwidTable<double>(plan, static_cast<double*>(table));
#if defined(__FLT16_MAX__)
  if (e == Elem::f16) fft::writeColTwidTable<_Float16>(plan, static_cast<_Float16*>(table));
#endif
}

inline void callRowWriter(Instance in, bool rc, long length, const int* plan, void* table) {
  const auto d = static_cast<double*>(table);
  const auto f = static_cast<float*>(table);
  if (in.vl == 2) fft::writeRowTwidTable<2, double>(rc, length, plan, d);
  if (in.vl == 4 && in.e == Elem::f32) fft::writeRowTwidTable<4, float>(rc, length, plan, f);
  if (in.vl == 4 && in.e == Elem::f64) fft::writeRowTwidTable<4, double>(rc, length, plan, d);
  if (in.vl == 8) fft::writeRowTwidTable<8, float>(rc, length, plan, f);
#if defined(__FLT16_MAX__)
  if (in.vl == 16)
    fft::writeRowTwidTable<16, _Float16>(rc, length, plan, static_cast<_Float16*>(table));
#endif
}

// One writer: the exported one of a table kind (no path), or that of an internal path.
struct Writer {
  Instance kind;
  const TwiddlePath* path;

  bool runs() const { return cpuRuns(kind.e) && (path == nullptr || cpuHas(path->needs)); }
  std::string name() const {
    return testName((kind.vl == 0 ? "Col" : "RowVL" + std::to_string(kind.vl)) + elemName(kind.e) +
                    (path == nullptr ? "Exported" : path->name));
  }
  long size(bool rc, long length, const int* plan) const {
    return kind.vl == 0 ? fft::getColTwidTableSize(plan) : rowSize(kind.vl, rc, length, plan);
  }
  void write(bool rc, long length, const int* plan, void* table) const {
    if (path == nullptr && kind.vl == 0) return callColWriter(plan, kind.e, table);
    if (path == nullptr) return callRowWriter(kind, rc, length, plan, table);
    const auto d = static_cast<double*>(table);
    const auto f = static_cast<float*>(table);
    const bool single = kind.e == Elem::f32;
    switch (kind.vl) {
      case 0: return single ? path->colFloat(plan, f) : path->colDouble(plan, d);
      case 2: return path->row2Double(rc, length, plan, d);
      case 4:
        return single ? path->row4Float(rc, length, plan, f)
                      : path->row4Double(rc, length, plan, d);
      default: return path->row8Float(rc, length, plan, f);
    }
  }
};

// The eight exported writers and the six float and double writers of every path.
inline std::vector<Writer> allWriters() {
  std::vector<Writer> all;
  for (const Instance in : kColumns) all.push_back({in, nullptr});
  for (const Instance in : kInstances) all.push_back({in, nullptr});
  for (const TwiddlePath& path : fft::detail::kTwiddlePaths) {
    for (std::size_t i = 0; i < 8; ++i) {
      if (all[i].kind.e != Elem::f16) all.push_back({all[i].kind, &path});
    }
  }
  return all;
}

// Every path (or the reciprocal ones), for parameterized tests.
inline std::vector<const TwiddlePath*> allPaths(bool reciprocalOnly) {
  std::vector<const TwiddlePath*> all;
  for (const TwiddlePath& path : fft::detail::kTwiddlePaths) {
    if (path.reciprocal || !reciprocalOnly) all.push_back(&path);
  }
  return all;
}

inline std::string pathTestName(const testing::TestParamInfo<const TwiddlePath*>& info) {
  return testName(info.param->name);
}

// An array of `elems` elements plus a guard of 64 elements, every byte 0xA5.
struct SentinelTable {
  SentinelTable(long elems, Elem elem)
      : e(elem), size(elems), bytes(static_cast<std::size_t>((elems + 64) * 8), 0xA5) {}
  void* data() { return bytes.data(); }
  std::uint64_t at(long i) const { return readBits(bytes.data(), i, e); }
  bool guardIntact() const {
    for (std::size_t b = static_cast<std::size_t>(size * elemBytes(e)); b < bytes.size(); ++b) {
      if (bytes[b] != 0xA5) return false;
    }
    return true;
  }
  Elem e;
  long size;
  std::vector<unsigned char> bytes;
};

}  // namespace tov::test
