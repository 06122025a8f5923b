// Canonicalization and minimum sizes on arbitrary records, ranks 0 to 8, both record types and
// both transform kinds. Checks what holds for every input: the size functions leave their records
// untouched, they give the same sizes before and after canonicalization, and canonicalizing twice
// changes nothing more. Records live in exactly-sized heap arrays so ASan sees any stray access.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "tov/fft/dims.hpp"

namespace {

// Hands out fields: mostly small values around 0, sometimes a raw 64-bit pattern.
class FieldSource {
 public:
  FieldSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

  std::int64_t field() {
    const std::uint8_t selector = byte();
    if (selector < 0xF0) return static_cast<std::int64_t>(selector) - 0x40;
    std::uint64_t raw = 0;
    for (int i = 0; i < 8; ++i) raw = raw << 8 | byte();
    return static_cast<std::int64_t>(raw);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

void require(bool condition) {
  if (!condition) std::abort();
}

void fill(tov::fft::InplaceDim& dim, FieldSource& in) {
  dim = {in.field(), in.field(), static_cast<std::uint64_t>(in.field())};
}
void fill(tov::fft::OoplaceDim& dim, FieldSource& in) {
  dim = {in.field(), in.field(), in.field()};
}

template <class Dim, class Canonicalize, class MinSize>
void check(unsigned long rank, FieldSource& in, Canonicalize canonicalize, MinSize minSize) {
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
  FieldSource in(data, size);
  const std::uint8_t flags = in.byte();
  const unsigned long rank = in.byte() % 9u;
  switch (flags % 4) {
    case 0:
      check<InplaceDim>(
          rank, in, [](auto r, auto d, auto b) { return tov::fft::canonicalizeCC(r, d, b); },
          [](auto r, const InplaceDim* d, const InplaceDim* b) {
            return tov::fft::getMinSizeCC(r, d, b);
          });
      break;
    case 1:
      check<InplaceDim>(
          rank, in, [](auto r, auto d, auto b) { return tov::fft::canonicalizeRC(r, d, b); },
          [](auto r, const InplaceDim* d, const InplaceDim* b) {
            return tov::fft::getMinSizeRC(r, d, b);
          });
      break;
    case 2:
      check<OoplaceDim>(
          rank, in, [](auto r, auto d, auto b) { return tov::fft::canonicalizeCC(r, d, b); },
          [](auto r, const OoplaceDim* d, const OoplaceDim* b) {
            return tov::fft::getMinSizeCC(r, d, b);
          });
      break;
    default:
      check<OoplaceDim>(
          rank, in, [](auto r, auto d, auto b) { return tov::fft::canonicalizeRC(r, d, b); },
          [](auto r, const OoplaceDim* d, const OoplaceDim* b) {
            return tov::fft::getMinSizeRC(r, d, b);
          });
      break;
  }
  return 0;
}
