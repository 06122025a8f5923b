// tovinfo machine: what the library detects about the processor it runs on and the CPUs the
// calling thread may use.
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string_view>

#include "commands.hpp"
#include "tov/config.hpp"
#include "tov/detect.hpp"

namespace tovinfo {

namespace {

// Cache sizes are KiB in an unsigned field; configuration values are signed 32-bit.
int configValue(std::uint32_t kib) {
  constexpr std::uint32_t kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<int>(kib < kMax ? kib : kMax);
}

}  // namespace

int runMachine(std::span<char* const> args) {
  for (const char* arg : args) {
    if (std::string_view(arg) == "--help") {
      std::puts(
          "usage: tovinfo machine\nPrints the detected instruction-set level, the logical CPUs, "
          "cores, dies and packages\nthe calling thread may use, the L1 to L3 data caches of the "
          "CPU it runs on\n({size, sharing CPUs, line size, sets, ways}), and the configuration "
          "a kernel library\nwould build from them (cache sizes in KiB, 0 where unknown).");
      return 0;
    }
    std::fprintf(stderr, "tovinfo machine: unknown option '%s'; usage: tovinfo machine [--help]\n",
                 arg);
    return kExitUsage;
  }
  const tov::Architecture level = tov::detectArchitecture();
  const int cpus = tov::detectCpus();
  const tov::CacheInfo caches[] = {tov::detectDataCache(1), tov::detectDataCache(2),
                                   tov::detectDataCache(3)};
  const tov::Configuration sample{{{tov::Parameter::architecture, static_cast<int>(level)},
                                   {tov::Parameter::threads, cpus},
                                   {tov::Parameter::l1size, configValue(caches[0].size)},
                                   {tov::Parameter::l2size, configValue(caches[1].size)},
                                   {tov::Parameter::l3size, configValue(caches[2].size)}}};
  std::printf("architecture   %s\n", tov::toString(level).c_str());
  std::printf("cpus           %d\n", cpus);
  std::printf("cores          %d\n", tov::detectCores());
  std::printf("dies           %d\n", tov::detectDies());
  std::printf("packages       %d\n", tov::detectPackages());
  for (int index = 0; index < 3; ++index) {
    std::printf("L%d data cache  %s\n", index + 1, tov::toString(caches[index]).c_str());
  }
  std::printf("configuration  %s\n", sample.toString().c_str());
  return 0;
}

}  // namespace tovinfo
