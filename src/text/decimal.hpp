// The one decimal writer of the library and its tools: header-only, so tovinfo, which sees only
// the exported interface, can use it too.
#pragma once

#include <charconv>
#include <cstddef>
#include <string>
#include <type_traits>

namespace tov::text {

// Appends `value` in plain decimal, "-" first when negative. std::to_chars, not a stream: after
// std::locale::global with digit grouping a stream would print 1048576 as 1,048,576.
template <typename Integer>
void appendDecimal(std::string& out, Integer value) {
  static_assert(std::is_integral_v<Integer>, "decimal integers only");
  char digits[24];  // 20 digits, or 19 and a sign, hold any 64-bit value
  const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, static_cast<std::size_t>(end - digits));
}

}  // namespace tov::text
