// Row tables, split tables and chirp blocks, compiled once per instruction set like
// twid_engine.hpp (define TOV_TWIDDLE_ISA before including).
//
// Every store stays inside the layout that planRowLayout computes, which is also what
// getRowTwidTableSize reports: a plan whose chirp blocks are too short for their filter
// (M < 2n - 1) loses the filter positions outside block b instead of writing past it.
#pragma once

#include "twiddle/row_layout.hpp"
#include "twiddle/twid_engine.hpp"

namespace tov::fft::detail::TOV_TWIDDLE_ISA {

template <typename T>
inline void fillZero(T* from, T* to) {
  if (to > from) __builtin_memset(from, 0, static_cast<unsigned long>(to - from) * sizeof(T));
}

// Index generators that produce one k at a time through Derived::next(), handed out four at a
// time as writeBatches expects: vector() as 8k in doubles, scalar() as integers.
template <class Derived>
class SequentialIndices {
 public:
  __m256d vector() {
    std::int64_t k[4];
    scalar(k);
    return _mm256_mul_pd(_mm256_setr_pd(static_cast<double>(k[0]), static_cast<double>(k[1]),
                                        static_cast<double>(k[2]), static_cast<double>(k[3])),
                         _mm256_set1_pd(8.0));
  }
  void scalar(std::int64_t (&k)[4]) {
    for (std::int64_t& index : k) index = static_cast<Derived*>(this)->next();
  }
};

// Squares modulo 2n: j*j mod 2n for j = 0, 1, 2, ..., kept by adding 2j + 1 and subtracting
// 2n once (valid up to j = n; later positions are dropped by the writer).
class SquareIndices : public SequentialIndices<SquareIndices> {
 public:
  explicit SquareIndices(std::int64_t twiceN) : twiceN_(twiceN) {}
  std::int64_t next() {
    const std::int64_t k = square_;
    square_ = wrapAdd(square_, wrapAdd(wrapAdd(j_, j_), 1));
    if (square_ >= twiceN_) square_ = wrapAdd(square_, -twiceN_);
    ++j_;
    return k;
  }

 private:
  std::int64_t twiceN_;
  std::int64_t square_ = 0;
  std::int64_t j_ = 0;
};

// Indices of the full lane groups in table order: k = (q*VL + i)*j for q (outer), j = 1 ... r-1,
// i = 0 ... VL-1 (inner). Used for VL = 2, where a vector block fills only half a batch.
template <long VL>
class GroupIndices : public SequentialIndices<GroupIndices<VL>> {
 public:
  explicit GroupIndices(std::int64_t radix) : radix_(radix) {}
  std::int64_t next() {
    const std::int64_t k = wrapMul(q_ * VL + i_, j_);
    if (++i_ == VL) {
      i_ = 0;
      if (++j_ == radix_) {
        j_ = 1;
        ++q_;
      }
    }
    return k;
  }

 private:
  std::int64_t radix_;
  std::int64_t q_ = 0, j_ = 1, i_ = 0;
};

// Split table: conj w(j, 2n) for j = 1 ... h rounded up to even (h = n / 2), then zeros up to
// h rounded up to VL values.
template <long VL, typename T>
void writeSplitTable(std::int64_t length, T* table) {
  if (length < 2) return;
  const std::int64_t h = length / 2;
  T* end =
      ValueWriter<T, true>(wrapAdd(length, length)).write(table, h + (h & 1), Progression(1, 1));
  fillZero(end, table + splitTableSize(VL, length));
}

// Row block of the last stage: full lane groups (lanes over k = q*VL + i, one vector block per
// j = 1 ... r-1), then the remainder rows k = G*VL ... L-1 (lanes over j), padded to W(r).
template <long VL, typename T>
void writeRowBlock(const RowLayout& lay, T* out) {
  if (lay.rowEnd == lay.rowStart) return;
  const std::int64_t r = lay.radix;
  const ValueWriter<T, false> writer(wrapMul(lay.length, r));
  if constexpr (VL < 4) {
    if (lay.groups > 0) {
      out = writer.write(out, wrapMul(lay.groups * VL, r - 1), GroupIndices<VL>(r));
    }
  } else {
    // One vector block per (q, j): the lanes form the progression q*VL*j, step j.
    for (std::int64_t q = 0; q < lay.groups; ++q) {
      for (std::int64_t j = 1; j < r; ++j) {
        out = writer.write(out, VL, Progression(wrapMul(q * VL, j), j));
      }
    }
  }
  const std::int64_t padding = lay.rowWidth - (r - lay.firstJ);
  for (std::int64_t k = lay.groups * VL; k < lay.length; ++k) {
    out = writer.write(out, r - lay.firstJ, Progression(wrapMul(k, lay.firstJ), k));
    fillZero(out, out + 2 * padding);
    out += 2 * padding;
  }
}

// Chirp block a[j] = w(j^2 mod 2n, 2n), then the filter block b with b[0] = a[0] / M and
// b[j] = b[M - j] = a[j] / M, each division in T on the stored values; zeros elsewhere.
template <long VL, typename T>
void writeChirpBlocks(const RowLayout& lay, T* table) {
  const std::int64_t n = lay.points, m = lay.convolution;
  T* const a = table + lay.chirpStart;
  T* const b = table + lay.filterStart;
  const std::int64_t filterValues = (lay.end - lay.filterStart) / 2;
  T* aEnd = a;
  if (n > 0) aEnd = ValueWriter<T, false>(wrapAdd(n, n)).write(a, n, SquareIndices(wrapAdd(n, n)));
  fillZero(aEnd, table + lay.end);
  if (n <= 0 || filterValues <= 0) return;
  const T divisor = static_cast<T>(m);
  for (std::int64_t j = 0; j < n; ++j) {
    const T re = a[2 * j] / divisor;
    const T im = a[2 * j + 1] / divisor;
    if (j < filterValues) {
      b[2 * j] = re;
      b[2 * j + 1] = im;
    }
    const std::int64_t mirror = m - j;
    if (j > 0 && mirror >= 0 && mirror < filterValues) {
      b[2 * mirror] = re;
      b[2 * mirror + 1] = im;
    }
  }
}

template <long VL, typename T>
[[gnu::noinline]] void writeRowTable(bool rc, long length, int const* plan, T* table) {
  if (rc) {
    writeSplitTable<VL>(length, table);
    return;
  }
  const RowLayout lay = planRowLayout(VL, length, plan);
  const int count = static_cast<int>(static_cast<unsigned>(plan[0]) & 0xFFu) - 2;
  if (count >= 1) {
    int const* cursor = plan + 2;
    long running = plan[1];
    writeTwidStages(count, &cursor, &running, table);
  }
  writeRowBlock<VL>(lay, table + lay.rowStart);
  if (lay.chirp) writeChirpBlocks<VL>(lay, table);
}

}  // namespace tov::fft::detail::TOV_TWIDDLE_ISA
