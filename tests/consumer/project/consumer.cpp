// Includes every public header (the generated tov/version.hpp too), uses the shared library and
// prints the language standard it was compiled with, which its builders check against the C++17
// the headers promise.
#include <iostream>
#include <tov/config.hpp>
#include <tov/detect.hpp>
#include <tov/fft/dims.hpp>
#include <tov/fft/twiddle.hpp>
#include <tov/version.hpp>

int main() {
  const tov::Configuration cfg{{{tov::Parameter::architecture, 2}, {tov::Parameter::threads, 8}}};
  if (cfg.toString() != "{Architecture::avx2, {Parameter::threads, 8}}") return 1;
  if (tov::toString(tov::detectArchitecture()).empty()) return 1;
  if (tov::libraryVersion() != TOV_CORE_VERSION) return 1;  // the headers' library was loaded
  std::cout << "tov consumer ok, C++ " << __cplusplus << '\n';
  return 0;
}
