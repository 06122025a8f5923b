#include "config/classify_architecture.hpp"

namespace tov {

Architecture detectArchitecture() { return detail::classifyRunningProcessor(); }

}  // namespace tov
