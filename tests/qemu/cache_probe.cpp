// Prints what detection sees on the processor it runs on, for the qemu tests: the architecture
// level, where the caches came from and L1 to L3 as size/line/ways/sharing, with the cache
// directories looked up under argv[1] and the CPU facts read from argv[2].
#include <cstdio>
#include <string>

#include "detect/data_cache.hpp"
#include "tov/config.hpp"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  std::string line = tov::toString(tov::detectArchitecture());
  const char* const sources[] = {"none", "sysfs", "cpuid"};
  for (int level = 1; level <= 3; ++level) {
    const auto found = tov::detail::findDataCache(argv[1], argv[2], level);
    if (level == 1) line = line + ' ' + sources[static_cast<int>(found.source)];
    line += ' ' + std::to_string(found.info.size) + '/' + std::to_string(found.info.lineSize) +
            '/' + std::to_string(found.info.ways) + '/' + std::to_string(found.info.sharedCpus);
  }
  std::puts(line.c_str());
  return 0;
}
