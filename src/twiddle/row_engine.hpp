// Row tables, split tables and chirp blocks, compiled once per instruction set like
// twid_engine.hpp (define TOV_TWIDDLE_ISA before including).
//
// Every store stays inside the layout that planRowLayout computes, which is also what
// getRowTwidTableSize reports: a plan whose filter block is too short for its chirp (convolution
// length below 2n - 1 for n points) loses the filter positions outside the block instead of
// writing past it.
#pragma once

#include "twiddle/row_layout.hpp"
#include "twiddle/twid_engine.hpp"

namespace tov::fft::detail::TOV_TWIDDLE_ISA {

template <typename T>
inline void fillZero(T* from, T* to) {
  if (to > from) __builtin_memset(from, 0, static_cast<unsigned long>(to - from) * sizeof(T));
}

// Split table: conj w(j, 2n) for j = 1 ... h rounded up to even (h = n / 2, n = length), then
// zeros up to h rounded up to VL values.
template <class V, bool kReciprocal, long VL, typename T>
void writeSplitTable(std::int64_t length, T* table) {
  if (length < 2) return;
  const std::int64_t h = length / 2;
  const ValueWriter<V, T, true, kReciprocal> writer(wrapAdd(length, length));
  T* end = writer.write(table, h + (h & 1), Progression<V>(1, 1));
  fillZero(end, table + splitTableSize(VL, length));
}

// Row block of the last stage (radix r, entered with running length L): the full lane groups,
// one vector block per group q and j = 1 ... r-1 with lanes over k = q*VL + i, then the
// remainder rows k = groups*VL ... L-1, each with lanes over j and zeros up to its width.
template <class V, bool kReciprocal, long VL, typename T>
void writeRowBlock(const RowLayout& lay, T* out) {
  if (lay.rowEnd == lay.rowStart) return;
  const std::int64_t r = lay.radix;
  const ValueWriter<V, T, false, kReciprocal> writer(wrapMul(lay.length, r));
  if (lay.groups > 0) {
    // The full lane groups in one run from the period table; stepped where their period is too
    // long for it.
    const std::int64_t values = wrapMul(lay.groups * VL, r - 1);
    out = writeProducts<V>(writer, out, values, r - 1, VL, 0, [&](T* at) {
      if constexpr (VL <= V::kLanes) {
        return writer.write(at, values, ProductIndices<V>(r - 1, VL, 0));
      } else {
        // A vector block spans whole batches: the lanes of block (q, j) form the progression
        // q*VL*j, step j.
        for (std::int64_t q = 0; q < lay.groups; ++q) {
          for (std::int64_t j = 1; j < r; ++j) {
            at = writer.write(at, VL, Progression<V>(wrapMul(q * VL, j), j));
          }
        }
        return at;
      }
    });
  }
  const std::int64_t padding = lay.rowWidth - (r - lay.firstJ);
  for (std::int64_t k = lay.groups * VL; k < lay.length; ++k) {
    out = writer.write(out, r - lay.firstJ, Progression<V>(wrapMul(k, lay.firstJ), k));
    fillZero(out, out + 2 * padding);
    out += 2 * padding;
  }
}

// Chirp block a[j] = w(j^2 mod 2n, 2n), then the filter block b of the convolution length M with
// b[0] = a[0] / M and b[j] = b[M - j] = a[j] / M, each division in T on the stored values; zeros
// elsewhere.
template <class V, bool kReciprocal, long VL, typename T>
void writeChirpBlocks(const RowLayout& lay, T* table) {
  const std::int64_t n = lay.points, m = lay.convolution;
  T* const a = table + lay.chirpStart;
  T* const b = table + lay.filterStart;
  const std::int64_t filterValues = (lay.end - lay.filterStart) / 2;
  T* aEnd = a;
  if (n > 0) {
    const ValueWriter<V, T, false, kReciprocal> writer(wrapAdd(n, n));
    aEnd = writer.write(a, n, SquareIndices<V>(wrapAdd(n, n)));
  }
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

template <class V, bool kReciprocal, long VL, typename T>
[[gnu::noinline]] void writeRowTable(bool rc, long length, int const* plan, T* table) {
  if (rc) {
    writeSplitTable<V, kReciprocal, VL>(length, table);
    return;
  }
  const RowLayout lay = planRowLayout(VL, length, plan);
  const int count = factorCount(plan) - 2;
  if (count >= 1) {
    int const* cursor = plan + 2;
    long running = plan[1];
    writeTwidStages<V, kReciprocal>(count, &cursor, &running, table);
  }
  writeRowBlock<V, kReciprocal, VL>(lay, table + lay.rowStart);
  if (lay.chirp) writeChirpBlocks<V, kReciprocal, VL>(lay, table);
}

}  // namespace tov::fft::detail::TOV_TWIDDLE_ISA
