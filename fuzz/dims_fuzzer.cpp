// Canonicalization and minimum sizes on arbitrary records, ranks 0 to 8, both record types and
// both transform kinds. Checks what holds for every input: the size functions leave their records
// untouched, they give the same sizes before and after canonicalization, and canonicalizing twice
// changes nothing more. Records live in exactly-sized heap arrays so ASan sees any stray access.
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz_input.hpp"
#include "tov/fft/dims.hpp"

namespace {

using tov::fuzz::Bytes;
using tov::fuzz::require;

// Mostly small values around 0, sometimes a raw 64-bit pattern.
std::int64_t field(Bytes& in) {
  const std::uint8_t selector = in.next();
  if (selector < 0xF0) return static_cast<std::int64_t>(selector) - 0x40;
  std::uint64_t raw = 0;
  for (int i = 0; i < 8; ++i) raw = raw << 8 | in.next();
  return static_cast<std::int64_t>(raw);
}

void fill(tov::fft::InplaceDim& dim, Bytes& in) {
  dim = {field(in), field(in), static_cast<std::uint64_t>(field(in))};
}
void fill(tov::fft::OoplaceDim& dim, Bytes& in) { dim = {field(in), field(in), field(in)}; }

template <class Dim, class Canonicalize, class MinSize>
void check(unsigned long rank, Bytes& in, Canonicalize canonicalize, MinSize minSize) {
  const auto dims = std::make_unique<Dim[]>(rank + 1);  // dims[0, rank) then the batch
  for (unsigned long i = 0; i <= rank; ++i) fill(dims[i], in);
  Dim* const batch = &dims[rank];
  Dim* const records = rank == 0 ? nullptr : dims.get();

  const auto before = std::make_unique<Dim[]>(rank + 1);
  std::memcpy(before.get(), dims.get(), (rank + 1) * sizeof(Dim));
  const auto size = minSize(rank, records, batch);
  require(std::memcmp(before.get(), dims.get(), (rank + 1) * sizeof(Dim)) == 0);

  const auto largest = canonicalize(rank, records, batch);
  require(minSize(rank, records, batch) == size);

  std::memcpy(before.get(), dims.get(), (rank + 1) * sizeof(Dim));
  require(canonicalize(rank, records, batch) == largest);
  require(std::memcmp(before.get(), dims.get(), (rank + 1) * sizeof(Dim)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tov::fft::InplaceDim;
  using tov::fft::OoplaceDim;
  Bytes in(data, size);
  const std::uint8_t flags = in.next();
  const unsigned long rank = in.next() % 9u;
  const auto canonicalCC = [](auto r, auto d, auto b) { return tov::fft::canonicalizeCC(r, d, b); };
  const auto canonicalRC = [](auto r, auto d, auto b) { return tov::fft::canonicalizeRC(r, d, b); };
  const auto sizeCC = [](auto r, const auto* d, const auto* b) {
    return tov::fft::getMinSizeCC(r, d, b);
  };
  const auto sizeRC = [](auto r, const auto* d, const auto* b) {
    return tov::fft::getMinSizeRC(r, d, b);
  };
  switch (flags % 4) {
    case 0: check<InplaceDim>(rank, in, canonicalCC, sizeCC); break;
    case 1: check<InplaceDim>(rank, in, canonicalRC, sizeRC); break;
    case 2: check<OoplaceDim>(rank, in, canonicalCC, sizeCC); break;
    default: check<OoplaceDim>(rank, in, canonicalRC, sizeRC); break;
  }
  return 0;
}
