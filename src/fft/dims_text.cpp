// Text forms of the dimension records.
#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <system_error>

#include "tov/fft/dims.hpp"

namespace tov::fft {
namespace {

void appendNumber(std::string& out, std::int64_t value) {
  char digits[24];  // "-9223372036854775808" is 20 characters
  const std::to_chars_result written = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, written.ptr);
}

std::string braced(std::initializer_list<std::int64_t> fields) {
  std::string out = "{";
  const char* separator = "";
  for (const std::int64_t field : fields) {
    out += separator;
    appendNumber(out, field);
    separator = ", ";
  }
  out += '}';
  return out;
}

}  // namespace

std::string toString(const InplaceDim& dim) { return braced({dim.n, dim.stride}); }

std::string toString(const OoplaceDim& dim) { return braced({dim.n, dim.istride, dim.ostride}); }

}  // namespace tov::fft
