// Decimal integers in tovinfo's command lines (std::from_chars, so that no locale reaches them)
// and output (the library's own writer).
#pragma once

#include <charconv>
#include <concepts>
#include <string>
#include <string_view>
#include <system_error>

#include "text/decimal.hpp"

namespace tovinfo {

// A whole argument as a decimal integer ("-" allowed, nothing around it).
template <std::integral Integer>
bool parseDecimal(std::string_view text, Integer& value) {
  const char* end = text.data() + text.size();
  const auto [stop, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && stop == end;
}

using tov::text::appendDecimal;

}  // namespace tovinfo
