// What the fuzz targets share: a failed check that every fuzzer and the replay notice (abort),
// and the input read byte by byte, zeros past its end.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace tov::fuzz {

inline void require(bool condition) {
  if (!condition) std::abort();
}

class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace tov::fuzz
