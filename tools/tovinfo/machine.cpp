// tovinfo machine: what the library detects about the processor it runs on and the CPUs the
// calling thread may use.
#include <sched.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "arguments.hpp"
#include "commands.hpp"
#include "json.hpp"
#include "tov/config.hpp"
#include "tov/detect.hpp"

namespace tovinfo {

namespace {

// Cache sizes are KiB in an unsigned field; configuration values are signed 32-bit.
int configValue(std::uint32_t kib) {
  constexpr std::uint32_t kMax = std::numeric_limits<std::int32_t>::max();
  return static_cast<int>(kib < kMax ? kib : kMax);
}

// Where detectDataCache took its figures: the kernel's cache directory of the current CPU when
// it exists (the library's own rule), else CPUID, or nothing when no level was found.
const char* cacheSource(const tov::CacheInfo& deepest) {
  const int cpu = sched_getcpu();
  const std::string directory =
      "/sys/devices/system/cpu/cpu" + std::to_string(cpu < 0 ? 0 : cpu) + "/cache";
  struct stat status {};
  if (stat(directory.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return "sysfs";
  return deepest.size != 0 ? "cpuid" : "none";
}

constexpr const char* kUsage = "usage: tovinfo machine [--json]\n";
constexpr const char* kHelp =
    "Prints the detected instruction-set level, the logical CPUs the calling thread may use\n"
    "(and how many of them its cgroup's CPU limit leaves available), their cores, dies\n"
    "and packages, the L1 to L3 data caches of the CPU it runs on ({size, sharing CPUs,\n"
    "line size, sets, ways}) and where they came from (sysfs, cpuid or none), and the\n"
    "configuration a kernel library would build from them (threads: the available CPUs;\n"
    "cache sizes in KiB, 0 where unknown).\n"
    "  --json   one JSON object instead of text\n";

}  // namespace

int runMachine(std::span<char* const> args) {
  constexpr Option kOptions[] = {{"--json", false}};
  const CommandSpec command{"machine", kOptions, kUsage, kHelp};
  const std::optional<Arguments> parsed = parseArguments(command, args);
  if (!parsed || parsed->help) return parsed ? 0 : kExitUsage;
  if (!parsed->positional.empty()) {
    return usageError("machine", "unexpected argument", parsed->positional[0]);
  }
  const bool json = parsed->has("--json");
  const tov::Architecture level = tov::detectArchitecture();
  const int counts[] = {tov::detectCpus(), tov::detectAvailableCpus(), tov::detectCores(),
                        tov::detectDies(), tov::detectPackages()};
  const char* const countNames[] = {"cpus", "available cpus", "cores", "dies", "packages"};
  const char* const countKeys[] = {"cpus", "availableCpus", "cores", "dies", "packages"};
  constexpr int kCounts = 5;
  const tov::CacheInfo caches[] = {tov::detectDataCache(1), tov::detectDataCache(2),
                                   tov::detectDataCache(3)};
  const char* const source = cacheSource(caches[2]);
  const tov::Configuration sample{{{tov::Parameter::architecture, static_cast<int>(level)},
                                   {tov::Parameter::threads, counts[1]},
                                   {tov::Parameter::l1size, configValue(caches[0].size)},
                                   {tov::Parameter::l2size, configValue(caches[1].size)},
                                   {tov::Parameter::l3size, configValue(caches[2].size)}}};
  if (json) {
    JsonWriter out;
    out.beginObject().key("architecture").string(tov::toString(level));
    for (int i = 0; i < kCounts; ++i) out.key(countKeys[i]).number(counts[i]);
    out.key("dataCaches").beginArray();
    for (int index = 0; index < 3; ++index) {
      const tov::CacheInfo& cache = caches[index];
      out.beginObject().key("level").number(index + 1).key("text").string(tov::toString(cache));
      out.key("sizeKiB").number(cache.size).key("sharedCpus").number(cache.sharedCpus);
      out.key("lineSize").number(cache.lineSize).key("sets").number(cache.sets);
      out.key("ways").number(cache.ways).endObject();
    }
    out.endArray().key("cacheSource").string(source);
    out.key("configuration").string(sample.toString()).endObject();
    std::fputs(out.finish().c_str(), stdout);
    return 0;
  }
  std::printf("architecture   %s\n", tov::toString(level).c_str());
  for (int i = 0; i < kCounts; ++i) std::printf("%-14s %d\n", countNames[i], counts[i]);
  for (int index = 0; index < 3; ++index) {
    std::printf("L%d data cache  %s\n", index + 1, tov::toString(caches[index]).c_str());
  }
  std::printf("cache source   %s\n", source);
  std::printf("configuration  %s\n", sample.toString().c_str());
  return 0;
}

}  // namespace tovinfo
