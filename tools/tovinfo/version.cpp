// tovinfo --version: the version tovinfo was built as (its headers') and the version of the
// library it loaded, which differ when another libtov_core.so.0 comes first in the loader's path.
#include "tov/version.hpp"

#include <cstdio>

#include "commands.hpp"

namespace tovinfo {

int printVersion() {
  const int library = tov::libraryVersion();
  std::printf("tovinfo %d.%d.%d\nheaders %d.%d.%d\nlibrary %d.%d.%d\n", TOV_CORE_VERSION_MAJOR,
              TOV_CORE_VERSION_MINOR, TOV_CORE_VERSION_PATCH, TOV_CORE_VERSION_MAJOR,
              TOV_CORE_VERSION_MINOR, TOV_CORE_VERSION_PATCH, library / 10000, library / 100 % 100,
              library % 100);
  return 0;
}

}  // namespace tovinfo
