// Scalar reference for twiddle values, column and row tables: plain C++ with std::fma, the octant
// sign table written out, and the compiler's own conversion of double to _Float16. Independent of
// the library's vector code, so the two can be compared bit for bit.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tov::test {

struct TwidPair {
  double re, im;
};

enum class Elem { f16, f32, f64 };

inline int elemBytes(Elem e) { return e == Elem::f16 ? 2 : e == Elem::f32 ? 4 : 8; }

// cos(2*pi*k/N) + i*sin(2*pi*k/N) before conversion, with the polynomial of the double tables
// (compensated) or of the others, in plain or conjugate form.
inline TwidPair oracleTwid(std::int64_t k, std::int64_t n, bool compensated, bool conjugate) {
  static constexpr double kPlain[2][7] = {
      {1.0, -0.3084251375340387, 0.01585434424374607, -0.000325991886492447, 3.590859186029691e-06,
       -2.460950643876011e-08, 1.1365306958762847e-10},
      {0.7853981633974483, -0.08074551218827976, 0.00249039457018263, -3.6576204137696544e-05,
       3.1336158729412047e-07, -1.7571219475089096e-09, 6.8687242527667575e-12}};
  // C0 ... C7, tail, slope A0, A1 per lane.
  static constexpr double kCompensated[2][11] = {
      {1.0, -0.30842513753404244, 0.015854344243815426, -0.00032599188692675695,
       3.590860446054159e-06, -2.461136404503038e-08, 1.1500511493824433e-10,
       -3.8581452429999683e-13, -1.652434131973271e-17, -0.6165983375101485, 0.0614647937344156},
      {0.7853981633974483, -0.08074551218828079, 0.0024903945701927636, -3.6576204182389566e-05,
       3.133616895381225e-07, -1.7572482531810194e-09, 6.948719813531658e-12,
       -2.037882725780115e-14, 3.067150379707556e-17, 0.7836144412142877, -0.22951535599595763}};
  constexpr std::uint64_t S = std::uint64_t{1} << 63;
  static constexpr std::uint64_t kSigns[6] = {0, 0, S, S, 0, 0};

  const auto wrap = [](std::uint64_t x) { return static_cast<std::int64_t>(x); };
  const std::uint64_t un = static_cast<std::uint64_t>(n);
  std::int64_t u = wrap(static_cast<std::uint64_t>(k) * 8);
  if (u > wrap(7 * un)) u = wrap(static_cast<std::uint64_t>(u) - 8 * un);
  int h = 0, q = 0;
  if (u > wrap(3 * un)) u = wrap(static_cast<std::uint64_t>(u) - 4 * un), h = 1;
  if (u > n) u = wrap(static_cast<std::uint64_t>(u) - 2 * un), q = 1;
  const double ud = static_cast<double>(u), nd = static_cast<double>(n);
  const double t = ud / nd, z = t * t, z2 = z * z;

  double lane[2];
  for (int i = 0; i < 2; ++i) {
    const double p = i == 0 ? 1.0 : t;
    if (!compensated) {
      const double* c = kPlain[i];
      const double cc = std::fma(z2, std::fma(z, c[6], c[5]), std::fma(z, c[4], c[3]));
      lane[i] = std::fma(p * z2, std::fma(z, cc, c[2]), p * std::fma(z, c[1], c[0]));
    } else {
      const double* c = kCompensated[i];
      const double pp = i == 0 ? t : 1.0, m = i == 0 ? z : 1.0;
      const double e = std::fma(t, -nd, ud) / nd, s = std::fma(t, t, -z);
      const double g = std::fma(e, pp * std::fma(z, c[10], c[9]), p * (c[1] * s));
      const double hh = std::fma(z, c[1], c[0]);
      const double r = std::fma(m, c[8], std::fma(z, c[1], -(hh - c[0])));
      const double qq = std::fma(
          z, std::fma(z, std::fma(z, std::fma(z, std::fma(z, c[7], c[6]), c[5]), c[4]), c[3]),
          c[2]);
      lane[i] = std::fma(p, hh, std::fma(p * z2, qq, std::fma(p, r, g)));
    }
  }
  const int w = 2 * h + q + (conjugate ? 1 : 0);
  const double c = std::bit_cast<double>(std::bit_cast<std::uint64_t>(lane[0]) ^ kSigns[w]);
  const double s = std::bit_cast<double>(std::bit_cast<std::uint64_t>(lane[1]) ^ kSigns[w + 1]);
  return q ? TwidPair{s, c} : TwidPair{c, s};
}

// The bits of x rounded once to the element type (to _Float16 directly, not through float), and
// the value of such bits. clang 14 names _Float16 only with AVX-512 FP16; there no _Float16
// writer is tested.
#if defined(__FLT16_MAX__)
using Half = _Float16;
#else
using Half = std::uint16_t;  // a stand-in of the same size, never used for values
#endif
inline std::uint64_t elemBits(double x, Elem e) {
  return e == Elem::f64   ? std::bit_cast<std::uint64_t>(x)
         : e == Elem::f32 ? std::bit_cast<std::uint32_t>(static_cast<float>(x))
                          : std::bit_cast<std::uint16_t>(static_cast<Half>(x));
}

inline double elemValue(std::uint64_t bits, Elem e) {
  return e == Elem::f64   ? std::bit_cast<double>(bits)
         : e == Elem::f32 ? std::bit_cast<float>(static_cast<std::uint32_t>(bits))
                          : std::bit_cast<Half>(static_cast<std::uint16_t>(bits));
}

// Appends the converted value w(k, n) to `out` (real part, then imaginary part).
inline void appendValue(std::vector<std::uint64_t>& out, std::int64_t k, std::int64_t n, Elem e,
                        bool conjugate = false) {
  const TwidPair w = oracleTwid(k, n, e == Elem::f64, conjugate);
  out.push_back(elemBits(w.re, e));
  out.push_back(elemBits(w.im, e));
}

// The stage walk over `count` entries from plan[2] with running length `length`, appending each
// stage's values; returns the length after the walk.
inline std::int64_t oracleStages(const int* plan, int count, std::int64_t length, Elem e,
                                 std::vector<std::uint64_t>& out) {
  std::int64_t l = length;
  for (int i = 0; i < count; ++i) {
    const std::int64_t word = plan[2 + i];
    const bool plain = static_cast<std::uint64_t>(word) < 65536;
    for (std::int64_t s = 0, r = plain ? word : word >> 16; s < (plain ? 1 : word & 0xFFFF); ++s) {
      for (std::int64_t j = 1; j < l && r >= 2; ++j) {
        for (std::int64_t m = 1; m < r; ++m) appendValue(out, j * m, l * r, e);
      }
      l = static_cast<std::int64_t>(static_cast<std::uint64_t>(l) * static_cast<std::uint64_t>(r));
    }
  }
  return l;
}

// The column table of a plan, as element bits.
inline std::vector<std::uint64_t> oracleColTable(const int* plan, Elem e) {
  std::vector<std::uint64_t> out;
  oracleStages(plan, (plan[0] & 0xFF) - 1, plan[1], e, out);
  return out;
}

// Marks elements of a row table that the writer must leave untouched (gaps).
inline constexpr std::uint64_t kUntouched = ~std::uint64_t{0};

inline std::int64_t roundUpTo(std::int64_t x, std::int64_t v) { return (x + v - 1) / v * v; }

// The row table of writeRowTwidTable<vl, T> as element bits, kUntouched in the gaps. Plans must
// lie inside the format (last entry plain, M >= 2n - 1 when the chirp flag is set).
inline std::vector<std::uint64_t> oracleRowTable(std::int64_t vl, Elem e, bool rc,
                                                 std::int64_t length, const int* plan) {
  std::vector<std::uint64_t> out;
  const auto pad = [&](std::uint64_t with) {
    out.resize(static_cast<std::size_t>(roundUpTo(static_cast<std::int64_t>(out.size()), 2 * vl)),
               with);
  };
  if (rc) {
    for (std::int64_t j = 1; j <= length / 2; j += 2) {
      appendValue(out, j, 2 * length, e, true);
      appendValue(out, j + 1, 2 * length, e, true);
    }
    pad(0);
    return out;
  }
  const int s = plan[0] & 0xFF;
  const std::int64_t l = oracleStages(plan, s - 2, plan[1], e, out);
  pad(kUntouched);
  const std::int64_t r = s >= 2 ? plan[s] : 1, n = l * r, groups = l / vl;
  for (std::int64_t q = 0; q < groups && r >= 2; ++q) {
    for (std::int64_t j = 1; j < r; ++j) {
      for (std::int64_t i = 0; i < vl; ++i) appendValue(out, (q * vl + i) * j, n, e);
    }
  }
  for (std::int64_t k = groups * vl; k < l && r >= 2; ++k) {
    const std::int64_t j0 = r % vl == 1 ? 1 : 0;
    for (std::int64_t j = j0; j < r; ++j) appendValue(out, k * j, n, e);
    std::int64_t p = r;  // smallest p >= r that is a power of two or a multiple of vl
    while (j0 == 0 && p % vl != 0 && (p & (p - 1)) != 0) ++p;
    out.resize(out.size() + static_cast<std::size_t>(2 * (p - r)), 0);
  }
  if (plan[0] > 255) {
    pad(kUntouched);
    const std::size_t a = out.size();
    const std::int64_t m = n;  // the filter length
    for (std::int64_t j = 0; j < length; ++j) appendValue(out, j * j % (2 * length), 2 * length, e);
    const std::size_t b = a + static_cast<std::size_t>(2 * roundUpTo(length, vl));
    out.resize(b + static_cast<std::size_t>(2 * roundUpTo(m, vl)), 0);
    // Each part divided in the element type: the quotient of the two rounded operands, rounded
    // once. Through double, whose 53 bits hold more than twice a float's or half's 24 or 11 plus
    // two, so rounding the double quotient again gives the same bits.
    const double divisor = elemValue(elemBits(static_cast<double>(m), e), e);
    for (std::int64_t j = 0; j < length; ++j) {
      for (int part = 0; part < 2; ++part) {
        const std::uint64_t v = elemBits(elemValue(out[a + 2 * j + part], e) / divisor, e);
        out[b + 2 * j + part] = v;
        if (j > 0) out[b + 2 * (m - j) + part] = v;
      }
    }
  }
  return out;
}

}  // namespace tov::test
