// Every twiddle writer on in-format plans built from the input, into arrays of exactly the size
// that getColTwidTableSize / getRowTwidTableSize report, so ASan sees any write past them. The
// written bits are compared with the scalar reference of the tests; gaps must keep their bytes.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_input.hpp"
#include "support/twid_oracle.hpp"
#include "tov/config.hpp"
#include "tov/fft/twiddle.hpp"

namespace {

using tov::fuzz::Bytes;
using tov::fuzz::require;
using tov::test::Elem;

constexpr long kMaxElements = 1 << 16;  // keeps one input fast; layouts repeat at any size
constexpr unsigned char kFill = 0xA5;

// A plan of S factors: first factor 0 to 40, entries of radix 1 to 11 or packed (radix 1 to 6,
// count 0 to 3), a plain last entry (the row stage), and a chirp flag in some word-0 patterns.
std::vector<int> makePlan(Bytes& in) {
  const int factors = in.next() % 8;
  std::vector<int> plan(static_cast<std::size_t>(factors + 1 < 2 ? 2 : factors + 1));
  plan[1] = in.next() % 41;
  for (int i = 2; i <= factors; ++i) {
    const std::uint8_t kind = in.next();
    if (kind >= 0xE0 && i < factors) {
      plan[static_cast<std::size_t>(i)] = (1 + kind % 6) << 16 | (in.next() % 4);
    } else {
      plan[static_cast<std::size_t>(i)] = 1 + kind % 11;
    }
  }
  static constexpr int kFlags[] = {0,        0,          0x100,
                                   0x7FFF00, 0x7FFFFF00, static_cast<int>(0x80000100u)};
  plan[0] = factors | kFlags[in.next() % 6];
  return plan;
}

bool isRowChirp(const std::vector<int>& plan) { return plan[0] > 255; }

// The running length after the whole plan, the M of the chirp blocks, or -1 when it is too long.
long planLength(const std::vector<int>& plan) {
  const int factors = plan[0] & 0xFF;
  long length = plan[1];
  for (int i = 2; i <= factors; ++i) {
    const int word = plan[static_cast<std::size_t>(i)];
    const long radix = word < 65536 ? word : word >> 16, count = word < 65536 ? 1 : word & 0xFFFF;
    for (long c = 0; c < count; ++c) {
      length *= radix;
      if (length > kMaxElements) return -1;
    }
  }
  return length;
}

template <class T>
void checkTable(long size, const std::vector<std::uint64_t>& want, Elem e, auto write) {
  require(static_cast<long>(want.size()) <= size);
  const std::size_t bytes = static_cast<std::size_t>(size) * sizeof(T);
  const std::unique_ptr<unsigned char[]> table(new unsigned char[bytes > 0 ? bytes : 1]);
  std::memset(table.get(), kFill, bytes);
  write(reinterpret_cast<T*>(table.get()));
  std::uint64_t untouched = 0;
  std::memset(&untouched, kFill, sizeof(T));
  for (long i = 0; i < size; ++i) {
    const std::uint64_t got = tov::test::readBits(table.get(), i, e);
    const bool gap = i >= static_cast<long>(want.size()) ||
                     want[static_cast<std::size_t>(i)] == tov::test::kUntouched;
    require(got == (gap ? untouched : want[static_cast<std::size_t>(i)]));
  }
}

template <long VL, class T>
void checkRow(bool rc, long length, const std::vector<int>& plan, Elem e) {
  const long size = tov::fft::getRowTwidTableSize<VL>(rc, length, plan.data());
  if (size > 4 * kMaxElements) return;
  checkTable<T>(size, tov::test::oracleRowTable(VL, e, rc, length, plan.data()), e, [&](T* table) {
    tov::fft::writeRowTwidTable<VL, T>(rc, length, plan.data(), table);
  });
}

template <class T>
void checkCol(const std::vector<int>& plan, Elem e) {
  checkTable<T>(tov::fft::getColTwidTableSize(plan.data()),
                tov::test::oracleColTable(plan.data(), e), e,
                [&](T* table) { tov::fft::writeColTwidTable<T>(plan.data(), table); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The float and double writers need AVX2 with FMA; the _Float16 ones AVX-512 FP16.
  const int level = static_cast<int>(tov::detectArchitecture());
  if ((level & static_cast<int>(tov::Architecture::avx2)) == 0) return 0;
  [[maybe_unused]] const bool fp16 = level == static_cast<int>(tov::Architecture::avx512fp16);

  Bytes in(data, size);
  const std::uint8_t writer = in.next();
  const bool rc = (in.next() & 1) != 0;
  std::vector<int> plan = makePlan(in);
  const long total = planLength(plan);
  if (total < 0) return 0;
  // Chirp blocks need M >= 2n - 1; the split table takes any length.
  const std::uint16_t raw = static_cast<std::uint16_t>(in.next() << 8 | in.next());
  const long length = rc ? raw % 5000 : isRowChirp(plan) ? raw % ((total + 1) / 2 + 1) : raw;

  switch (writer % 8) {
    case 0: checkCol<float>(plan, Elem::f32); break;
    case 1: checkCol<double>(plan, Elem::f64); break;
    case 2: checkRow<2, double>(rc, length, plan, Elem::f64); break;
    case 3: checkRow<4, float>(rc, length, plan, Elem::f32); break;
    case 4: checkRow<4, double>(rc, length, plan, Elem::f64); break;
    case 5: checkRow<8, float>(rc, length, plan, Elem::f32); break;
#if defined(__FLT16_MAX__)
    case 6:
      if (fp16) checkCol<_Float16>(plan, Elem::f16);
      break;
    case 7:
      if (fp16) checkRow<16, _Float16>(rc, length, plan, Elem::f16);
      break;
#endif
    default: break;
  }
  return 0;
}
