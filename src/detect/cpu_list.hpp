// The kernel's CPU-list syntax, as in the topology and shared_cpu_list files: items separated by
// runs of commas and line feeds, each a number (8) or a range (0-3), e.g. "0-3,8\n".
#pragma once

#include <charconv>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace tov::detail {

// One item: the numbers first..last, both included. last == first for a single number and for a
// range that does not ascend ("5-3" names 5 alone).
struct CpuRange {
  std::int32_t first;
  std::int32_t last;
};

// Collecting mode: calls onRange(CpuRange) for every item of `text` in order. Ranges are handed
// over whole, never expanded, so an absurd range in a file costs nothing here.
//
// A number is an optional '-' and one or more decimal digits within the signed 32-bit range (no
// blank, no '+'). The scan stops at the first place that does not fit the grammar (a blank, a
// carriage return, a NUL, a letter, a number out of range, a leading comma); the items before it
// have been delivered and stay in effect. A '-' right after a range's '-' is the sign of its
// second number.
template <typename OnRange>
void scanCpuList(std::string_view text, OnRange&& onRange) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p != end) {
    std::int32_t first = 0;
    const auto head = std::from_chars(p, end, first);
    if (head.ec != std::errc{}) return;
    p = head.ptr;
    std::int32_t last = first;
    bool lastRead = true;
    if (p != end && *p == '-') {
      std::int32_t second = 0;
      const auto tail = std::from_chars(p + 1, end, second);
      lastRead = tail.ec == std::errc{};
      if (lastRead) {
        p = tail.ptr;
        if (second > first) last = second;
      }
    }
    onRange(CpuRange{first, last});
    // Explicitly, not by failing at the '-' again: in "7-2147483648" the end is out of range,
    // yet "-2147483648" alone would read as a number.
    if (!lastRead) return;
    while (p != end && (*p == ',' || *p == '\n')) ++p;
  }
}

// Counting mode: how many numbers `text` names, up to the first malformed item. One range may
// name up to 2^32 numbers, more than the int result holds, so the total saturates at INT32_MAX
// (no machine has that many CPUs, so the cap never shows on real files).
int countCpuList(std::string_view text);

}  // namespace tov::detail
