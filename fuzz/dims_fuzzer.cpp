// Canonicalization and minimum sizes on arbitrary records, ranks 0 to 8, both record types and
// both transform kinds. Checks what holds for every input: the size functions write nothing and
// give the same sizes before and after canonicalization; canonicalization writes only what it
// documents (a zero stride, a batch n of 0, the fixed strides of the real-to-complex innermost
// record, the reserved words). The records and the batch live in separate heap arrays of exactly
// their size, so that the sanitizer reports a read or write past either.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <type_traits>

#include "tov/fft/dims.hpp"

namespace {

using tov::fft::InplaceDim;
using tov::fft::OoplaceDim;

// A failed check aborts, which libFuzzer and the corpus replay both notice.
void require(bool condition) {
  if (!condition) std::abort();
}

// The input byte by byte, zeros past its end.
struct Bytes {
  const std::uint8_t* data;
  std::size_t size, pos = 0;
  std::uint8_t next() { return pos < size ? data[pos++] : 0; }
};

// Mostly small values around 0, sometimes a raw 64-bit pattern.
std::int64_t field(Bytes& in) {
  const std::uint8_t selector = in.next();
  if (selector < 0xF0) return static_cast<std::int64_t>(selector) - 0x40;
  std::uint64_t raw = 0;
  for (int i = 0; i < 8; ++i) raw = raw << 8 | in.next();
  return static_cast<std::int64_t>(raw);
}

// What canonicalization may change in one record, word by word (n, then stride and reserved, or
// istride and ostride): `fixed` holds the fixed strides of the RC innermost record, and is null
// for every other record.
template <class Dim>
void requireCanonicalOf(const Dim& given, const Dim& result, const std::int64_t* fixed,
                        bool batch) {
  std::int64_t was[3], is[3];
  std::memcpy(was, &given, sizeof was);
  std::memcpy(is, &result, sizeof is);
  require(is[0] == (batch && was[0] == 0 ? 1 : was[0]));
  for (int w = 1; w < 3; ++w) {
    if (std::is_same_v<Dim, InplaceDim> && w == 2) {
      require(is[2] == (fixed != nullptr ? was[2] : 0));  // reserved, kept only by the RC innermost
    } else if (fixed != nullptr) {
      require(is[w] == fixed[w - 1]);
    } else if (was[w] != 0) {
      require(is[w] == was[w]);
    }
  }
}

template <class Dim>
void check(bool rc, unsigned long rank, Bytes& in) {
  const std::unique_ptr<Dim[]> dims(rank == 0 ? nullptr : new Dim[rank]);
  const auto batch = std::make_unique<Dim>();
  const auto given = std::make_unique<Dim[]>(rank + 1);  // dims then batch, as the caller gave
  for (unsigned long i = 0; i <= rank; ++i) {
    Dim& dim = i < rank ? dims[i] : *batch;
    const std::int64_t words[3] = {field(in), field(in), field(in)};
    std::memcpy(&dim, words, sizeof dim);
    given[i] = dim;
  }
  const auto unchanged = [&] {
    return (rank == 0 || std::memcmp(given.get(), dims.get(), rank * sizeof(Dim)) == 0) &&
           std::memcmp(&given[rank], batch.get(), sizeof(Dim)) == 0;
  };
  using namespace tov::fft;
  const auto canonicalize = [&] {
    return rc ? canonicalizeRC(rank, dims.get(), batch.get())
              : canonicalizeCC(rank, dims.get(), batch.get());
  };
  const auto minSize = [&] {
    return rc ? getMinSizeRC(rank, dims.get(), batch.get())
              : getMinSizeCC(rank, dims.get(), batch.get());
  };
  const auto size = minSize();
  require(unchanged());

  canonicalize();
  const std::int64_t rcInnermost[2] = {1, 2};
  for (unsigned long i = 0; i < rank; ++i) {
    requireCanonicalOf(given[i], dims[i], rc && i + 1 == rank ? rcInnermost : nullptr, false);
  }
  requireCanonicalOf(given[rank], *batch, nullptr, true);
  require(minSize() == size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes in{data, size};
  const std::uint8_t flags = in.next();  // bit 0: real-to-complex, bit 1: out of place
  const unsigned long rank = in.next() % 9u;
  if ((flags & 2) != 0) {
    check<OoplaceDim>((flags & 1) != 0, rank, in);
  } else {
    check<InplaceDim>((flags & 1) != 0, rank, in);
  }
  return 0;
}
