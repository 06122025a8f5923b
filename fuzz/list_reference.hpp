// A second, deliberately plain reading of the kernel's CPU-list syntax and of the leading
// numbers of sysfs attribute files, byte by byte with 64-bit accumulators. The fuzz targets
// compare the library's readers with it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "fuzz_input.hpp"

namespace tov::fuzz {

struct Range {
  std::int64_t first;
  std::int64_t last;  // == first for a single number and a range that does not ascend
};

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits at `p` into `value`, capped just past `limit` so the accumulator cannot overflow;
// false when there is no digit or the value exceeds `limit`.
inline bool readDigits(std::string_view text, std::size_t& p, std::int64_t limit,
                       std::int64_t& value) {
  const std::size_t start = p;
  value = 0;
  while (p < text.size() && isDigit(text[p])) {
    if (value <= limit) value = value * 10 + (text[p] - '0');
    ++p;
  }
  return p != start && value <= limit;
}

// An optional '-' and digits within the signed 32-bit range.
inline bool readInt32(std::string_view text, std::size_t& p, std::int64_t& value) {
  const bool negative = p < text.size() && text[p] == '-';
  if (negative) ++p;
  if (!readDigits(text, p, negative ? 2147483648 : 2147483647, value)) return false;
  if (negative) value = -value;
  return true;
}

// The items of a CPU list up to the first place that breaks the grammar.
inline std::vector<Range> cpuListRanges(std::string_view text) {
  std::vector<Range> ranges;
  std::size_t p = 0;
  while (p < text.size()) {
    std::int64_t first = 0;
    if (!readInt32(text, p, first)) break;
    Range range{first, first};
    bool complete = true;
    if (p < text.size() && text[p] == '-') {
      ++p;
      std::int64_t last = 0;
      complete = readInt32(text, p, last);
      if (complete && last > first) range.last = last;
    }
    ranges.push_back(range);
    if (!complete) break;
    while (p < text.size() && (text[p] == ',' || text[p] == '\n')) ++p;
  }
  return ranges;
}

// How many numbers the ranges name, exactly.
inline std::int64_t cpuCount(const std::vector<Range>& ranges) {
  std::int64_t count = 0;
  for (const Range& range : ranges) count += range.last - range.first + 1;
  return count;
}

// The signed 32-bit number at the very start of a level file.
inline std::optional<std::int64_t> leadingInt32(std::string_view text) {
  std::size_t p = 0;
  std::int64_t value = 0;
  if (!readInt32(text, p, value)) return std::nullopt;
  return value;
}

// The unsigned 32-bit number at the very start of an attribute file (no sign).
inline std::optional<std::uint32_t> leadingUint32(std::string_view text) {
  std::size_t p = 0;
  std::int64_t value = 0;
  if (!readDigits(text, p, 4294967295, value)) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

}  // namespace tov::fuzz
