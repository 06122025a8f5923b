// tovinfo machine: what the library detects about the processor it runs on.
#include <cstdio>
#include <string_view>

#include "commands.hpp"
#include "tov/config.hpp"

namespace tovinfo {

int runMachine(std::span<char* const> args) {
  for (const char* arg : args) {
    if (std::string_view(arg) == "--help") {
      std::puts(
          "usage: tovinfo machine\nPrints the detected instruction-set level and the "
          "configuration a kernel library would build from it.");
      return 0;
    }
    std::fprintf(stderr, "tovinfo machine: unknown option '%s'; usage: tovinfo machine [--help]\n",
                 arg);
    return kExitUsage;
  }
  const tov::Architecture level = tov::detectArchitecture();
  const tov::Configuration sample{
      {{tov::Parameter::architecture, static_cast<int>(level)}, {tov::Parameter::threads, 1}}};
  std::printf("architecture   %s\n", tov::toString(level).c_str());
  std::printf("configuration  %s\n", sample.toString().c_str());
  return 0;
}

}  // namespace tovinfo
