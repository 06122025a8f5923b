#include "config/classify_architecture.hpp"

namespace tov {

Architecture detectArchitecture() {
  return detail::classifyArchitecture(detail::readCpuidWords(), [] { return detail::readXcr0(); });
}

}  // namespace tov
