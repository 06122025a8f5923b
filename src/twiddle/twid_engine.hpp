// Writing runs of twiddle values, the stage walk and the column table, for a vector width V,
// compiled once per instruction set.
//
// Include this header only from a file built with the flags of one instruction set, after
// defining TOV_TWIDDLE_ISA to that file's namespace (avx2, avx512 or avx512fp16), and after
// vec256.hpp or vec512.hpp. Everything here is inline: a copy compiled with AVX-512 flags must
// never be merged with the AVX2 copy by the linker, so each instruction set gets its own
// namespace. No standard-library functions are used for the same reason (their inline copies are
// shared with baseline code).
#pragma once

#ifndef TOV_TWIDDLE_ISA
#error "define TOV_TWIDDLE_ISA to the namespace of the instruction set before including"
#endif

#include <cstdint>

#include "twiddle/twid_value.hpp"

namespace tov::fft::detail::TOV_TWIDDLE_ISA {

#include "twiddle/plan_entries.hpp"

}  // namespace tov::fft::detail::TOV_TWIDDLE_ISA

#include "twiddle/twid_indices.hpp"

namespace tov::fft::detail::TOV_TWIDDLE_ISA {

// Converts the values of a batch to T and stores them interleaved, real part first: `count`
// complex values, 1 to V::kLanes. The storeComplex overloads of each width write whole batches.
template <class V, typename T>
inline void putValues(T* out, Batch<V> b, std::int64_t count) {
  if (count >= V::kLanes) {
    storeComplex(V{}, out, b.re, b.im);
    return;
  }
  T buffer[2 * V::kLanes];
  storeComplex(V{}, buffer, b.re, b.im);
  __builtin_memcpy(out, buffer, static_cast<unsigned long>(count) * 2 * sizeof(T));
}

// double tables take the compensated polynomial, float and _Float16 tables the plain one.
template <typename T>
inline constexpr bool kCompensatedFor = false;
template <>
inline constexpr bool kCompensatedFor<double> = true;

// Writes values w(k, N) for one N in plain or conjugate form, in T, with the indices that a
// generator of twid_indices.hpp gives. Positions past `count` are evaluated and dropped, so a
// generator may give any index there.
template <class V, typename T, bool kConjugate, bool kReciprocal>
class ValueWriter {
 public:
  explicit ValueWriter(std::int64_t n)
      : n_(n),
        vector_(n > 0 && n < kVectorLimit),
        modulus_(V::all(static_cast<double>(n)), kReciprocal && vector_) {}

  template <class Gen>
  T* write(T* out, std::int64_t count, Gen&& gen) const {
    if (vector_) {
      if (count > 4 * V::kLanes) return writeLongRun(out, count, gen);
      return writeVector(out, count, gen);
    }
    constexpr bool kCompensated = kCompensatedFor<T>;
    alignas(64) std::int64_t ns[V::kLanes], ks[V::kLanes];
    for (std::int64_t& n : ns) n = n_;
    for (; count > 0; count -= V::kLanes, out += 2 * V::kLanes) {
      gen.scalar(ks);
      putValues<V>(out, twidValueExact<V, kCompensated, kConjugate>(ks, ns), count);
      if (count < V::kLanes) return out + 2 * count;
    }
    return out;
  }

 private:
  // A long run in a function of its own: there the loop gets every vector register, where inlined
  // into a row block beside other loops it kept the index state and the angles in memory (row
  // tables 35 % slower). Short runs, such as the 256-bit row blocks written block by block, stay
  // inline: a call each cost them 13 %.
  template <class Gen>
  [[gnu::flatten, gnu::noinline]] T* writeLongRun(T* out, std::int64_t count,
                                                  const Gen& from) const {
    return writeVector(out, count, from);
  }

  // Flattened: the evaluation of a wide batch is too large for the inliner's limits, and a call
  // per batch would pass every register through memory. The generator and the modulus are
  // copied to locals: as members reached through pointers, the compiler would have to assume
  // that the table stores change them, and reload and store them every step.
  template <class Gen>
  [[gnu::flatten]] T* writeVector(T* out, std::int64_t count, const Gen& from) const {
    constexpr bool kCompensated = kCompensatedFor<T>;
    // How a batch is spread over the steps of the loop, as measured (docs/performance.md). In
    // 512-bit vectors the angle is formed two steps before the value and, for the compensated
    // polynomial, the polynomial's first part one step before the rest (kStarted). In 256-bit
    // vectors, with 16 registers, the angle is formed one step before; more spilled registers.
    constexpr bool kAngleAhead = V::kLanes == 8;
    constexpr bool kStarted = kCompensated && V::kLanes == 8;
    if (count <= 0) return out;
    Gen gen = from;
    const Modulus<V> m = modulus_;
    // Software-pipelined: each step finishes the value of one batch, begins the next, forms the
    // angle of the one after (kAngleAhead) and the indices of the one after that, so that the
    // parts of each batch's long chain of dependent operations overlap instead of filling the
    // processor's scheduler one after the other. The generator is asked for up to three batches
    // past the end. The order of the parts within a step matters as much (by 10 % and more): the
    // processor issues the oldest ready operations first.
    Begun<V, kStarted> begun =
        beginValue<V, kStarted, kReciprocal>(reducedAngle<V, kReciprocal>(gen.vector(), m), m);
    Angle<V> angle = kAngleAhead ? reducedAngle<V, kReciprocal>(gen.vector(), m) : begun.angle;
    typename V::Reg u = gen.vector();
    for (; count > V::kLanes; count -= V::kLanes, out += 2 * V::kLanes) {
      if constexpr (kStarted) {
        // The value first: its operands have waited a step since begun was formed.
        const Batch<V> b = finishValue<V, kCompensated, kConjugate, kReciprocal>(begun, m);
        const Angle<V> next = reducedAngle<V, kReciprocal>(u, m);
        u = gen.vector();
        begun = beginValue<V, kStarted, kReciprocal>(angle, m);
        angle = next;
        storeComplex(V{}, out, b.re, b.im);
      } else {
        // The next angle first: it starts the longest chain.
        const Angle<V> next = reducedAngle<V, kReciprocal>(u, m);
        u = gen.vector();
        const Batch<V> b = finishValue<V, kCompensated, kConjugate, kReciprocal>(begun, m);
        storeComplex(V{}, out, b.re, b.im);
        if constexpr (kAngleAhead) {
          begun = beginValue<V, kStarted, kReciprocal>(angle, m);
          angle = next;
        } else {
          begun = beginValue<V, kStarted, kReciprocal>(next, m);
        }
      }
    }
    putValues<V>(out, finishValue<V, kCompensated, kConjugate, kReciprocal>(begun, m), count);
    return out + 2 * count;
  }

  std::int64_t n_;
  bool vector_;
  Modulus<V> modulus_;
};

// Writes `count` values with the indices of ProductIndices(width, group, first): from a table of
// one period where PeriodicProducts can hold it, else through stepped(out), which returns the end.
template <class V, class Writer, typename T, class Stepped>
T* writeProducts(const Writer& writer, T* out, std::int64_t count, std::int64_t width,
                 std::int64_t group, std::int64_t first, Stepped&& stepped) {
  if (PeriodicProducts<V>::periodOf(width, group) == 0) return stepped(out);
  typename PeriodicProducts<V>::Slot slots[PeriodicProducts<V>::kMaxPeriod];
  return writer.write(out, count, PeriodicProducts<V>(width, group, first, count, slots));
}

// The stage walk shared by the column and row writers: for `count` plan entries from *cursor,
// writes the values w(j*m, L*r), j = 1 ... L-1 (outer), m = 1 ... r-1, of each stage of radix r
// entered with running length L >= 2, from out[0] on; advances *cursor by `count` words and the
// running length *length through the stages, and returns the number of elements written.
template <class V, bool kReciprocal, typename T>
long writeTwidStages(int count, int const** cursor, long* length, T* out) {
  if (count < 1) return 0;
  T* p = out;
  *length = forEachStage(count, *cursor, *length, [&](std::int64_t l, std::int64_t radix) {
    if (l < 2 || radix < 2) return;
    const ValueWriter<V, T, false, kReciprocal> writer(wrapMul(l, radix));
    const std::int64_t values = wrapMul(l - 1, radix - 1);
    p = writeProducts<V>(writer, p, values, radix - 1, 1, 1, [&](T* at) {
      return writer.write(at, values, ProductIndices<V>(radix - 1, 1, 1));
    });
  });
  *cursor += count;
  return static_cast<long>(p - out);
}

// The column table of a plan: the walk over its S - 1 factor entries.
template <class V, bool kReciprocal, typename T>
[[gnu::noinline]] void writeColTable(int const* plan, T* table) {
  const int count = factorCount(plan) - 1;
  if (count < 1) return;
  int const* cursor = plan + 2;
  long length = plan[1];
  writeTwidStages<V, kReciprocal>(count, &cursor, &length, table);
}

}  // namespace tov::fft::detail::TOV_TWIDDLE_ISA
