#include "tov/version.hpp"

namespace tov {

// Compiled into the library, so it answers with the version the library was built as, whatever
// headers the caller saw.
int libraryVersion() { return TOV_CORE_VERSION; }

}  // namespace tov
