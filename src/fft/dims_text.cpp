// Text forms of the dimension records.
#include <cstdint>
#include <initializer_list>
#include <string>

#include "text/decimal.hpp"
#include "tov/fft/dims.hpp"

namespace tov::fft {
namespace {

std::string braced(std::initializer_list<std::int64_t> fields) {
  std::string out = "{";
  const char* separator = "";
  for (const std::int64_t field : fields) {
    out += separator;
    text::appendDecimal(out, field);
    separator = ", ";
  }
  out += '}';
  return out;
}

}  // namespace

std::string toString(const InplaceDim& dim) { return braced({dim.n, dim.stride}); }

std::string toString(const OoplaceDim& dim) { return braced({dim.n, dim.istride, dim.ostride}); }

}  // namespace tov::fft
