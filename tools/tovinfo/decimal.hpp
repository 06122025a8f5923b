// Decimal integers in tovinfo's command lines and output, through std::from_chars and
// std::to_chars so that no locale reaches them.
#pragma once

#include <charconv>
#include <concepts>
#include <string>
#include <string_view>
#include <system_error>

namespace tovinfo {

// A whole argument as a decimal integer ("-" allowed, nothing around it).
template <std::integral Integer>
bool parseDecimal(std::string_view text, Integer& value) {
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && stop == end;
}

template <std::integral Integer>
void appendDecimal(std::string& out, Integer value) {
  char digits[24];
  out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

}  // namespace tovinfo
