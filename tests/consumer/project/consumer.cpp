// Uses only the installed public headers and the installed shared library.
#include <iostream>
#include <tov/config.hpp>

int main() {
  const tov::Configuration cfg{{{tov::Parameter::architecture, 2}, {tov::Parameter::threads, 8}}};
  if (cfg.toString() != "{Architecture::avx2, {Parameter::threads, 8}}") return 1;
  if (tov::toString(tov::detectArchitecture()).empty()) return 1;
  std::cout << "tov consumer ok\n";
  return 0;
}
