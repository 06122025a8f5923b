// The layout of a row table (planRowLayout) and the size of every twiddle table, computed by the
// same walk over the plan as the writers.
#include "twiddle/row_layout.hpp"

#include <cstdint>
#include <limits>

#include "tov/fft/twiddle.hpp"

namespace tov::fft {

namespace detail {

#include "twiddle/plan_entries.hpp"

namespace {

// Sizes saturate at kHuge instead of wrapping: for plans whose counts overflow 64 bits (outside
// the format) the reported size stays an upper bound of what the writers store, and no caller
// can provide such an array.
constexpr std::int64_t kHuge = std::numeric_limits<std::int64_t>::max();

std::int64_t satAdd(std::int64_t a, std::int64_t b) {
  std::int64_t r;
  return __builtin_add_overflow(a, b, &r) ? kHuge : r;
}

std::int64_t satMul(std::int64_t a, std::int64_t b) {
  std::int64_t r;
  return __builtin_mul_overflow(a, b, &r) ? kHuge : r;
}

// x >= 0 rounded up to a multiple of v > 0.
std::int64_t roundUp(std::int64_t x, std::int64_t v) {
  return x > kHuge - v ? kHuge : (x + v - 1) / v * v;
}

// Complex values per remainder row of a row stage of radix r for kernels of vl lanes: r - 1 when
// r mod vl = 1 (the row starts at j = 1, unpadded), otherwise the smallest m >= r that is a power
// of two or a multiple of vl (the row starts at j = 0 and is padded with zeros). vl is a power of
// two, so below vl that is the next power of two and from vl on the next multiple of vl.
std::int64_t rowWidth(std::int64_t r, std::int64_t vl) {
  if (r % vl == 1) return r - 1;
  if (r >= vl) return roundUp(r, vl);
  std::int64_t p = 1;
  while (p < r) p *= 2;
  return p;
}

// The number of complex values that the stage walk writes for `count` entries from *cursor,
// saturated at kHuge for plans outside the format; advances *cursor and *length as the walk does.
std::int64_t countStageValues(int count, int const** cursor, std::int64_t* length) {
  if (count < 1) return 0;
  std::int64_t values = 0;
  *length = forEachStage(count, *cursor, *length, [&](std::int64_t l, std::int64_t radix) {
    if (l >= 2 && radix >= 2) values = satAdd(values, satMul(l - 1, radix - 1));
  });
  *cursor += count;
  return values;
}

}  // namespace

RowLayout planRowLayout(std::int64_t vl, std::int64_t length, int const* plan) {
  RowLayout lay{};
  const int s = factorCount(plan);
  lay.chirp = plan[0] > 255;
  // Word 1 is read only when some section depends on it.
  std::int64_t l = s >= 2 || lay.chirp ? plan[1] : 0;
  int const* cursor = plan + 2;
  lay.stageElems = satMul(2, countStageValues(s - 2, &cursor, &l));
  lay.length = l;
  lay.radix = s >= 2 ? *cursor : 1;
  lay.rowStart = roundUp(lay.stageElems, 2 * vl);
  lay.rowEnd = lay.rowStart;
  // Radix 1 writes no row block; a radix or length below that lies outside the format and
  // writes none either.
  if (lay.radix >= 2 && l >= 1) {
    lay.groups = l / vl;
    lay.rows = l - lay.groups * vl;
    lay.rowWidth = rowWidth(lay.radix, vl);
    lay.firstJ = lay.radix % vl == 1 ? 1 : 0;
    const std::int64_t values =
        satAdd(satMul(lay.groups * vl, lay.radix - 1), satMul(lay.rows, lay.rowWidth));
    lay.rowEnd = satAdd(lay.rowStart, satMul(2, values));
  }
  lay.end = lay.rowEnd;
  if (lay.chirp) {
    const std::int64_t m = wrapMul(l, lay.radix);
    lay.points = length > 0 ? length : 0;
    lay.convolution = m > 0 ? m : 0;
    lay.chirpStart = roundUp(lay.rowEnd, 2 * vl);
    lay.filterStart = satAdd(lay.chirpStart, satMul(2, roundUp(lay.points, vl)));
    lay.end = satAdd(lay.filterStart, satMul(2, roundUp(lay.convolution, vl)));
  }
  return lay;
}

std::int64_t splitTableSize(std::int64_t vl, std::int64_t length) {
  return length < 2 ? 0 : satMul(2, roundUp(length / 2, vl));
}

}  // namespace detail

template <long VL>
long getRowTwidTableSize(bool rc, long length, int const* plan) {
  if (rc) return detail::splitTableSize(VL, length);
  return detail::planRowLayout(VL, length, plan).end;
}

template long getRowTwidTableSize<2>(bool, long, int const*);
template long getRowTwidTableSize<4>(bool, long, int const*);
template long getRowTwidTableSize<8>(bool, long, int const*);
template long getRowTwidTableSize<16>(bool, long, int const*);

long getColTwidTableSize(int const* plan) {
  const int count = detail::factorCount(plan) - 1;
  if (count < 1) return 0;
  int const* cursor = plan + 2;
  std::int64_t length = plan[1];
  return detail::satMul(2, detail::countStageValues(count, &cursor, &length));
}

}  // namespace tov::fft
