#include "config/classify_architecture.hpp"
#include "cpu/cpuid.hpp"

namespace tov {

Architecture detectArchitecture() {
  return detail::classifyArchitecture(
      detail::gatherCpuidWords([](std::uint32_t leaf, std::uint32_t subleaf) {
        return detail::readCpuid(leaf, subleaf);
      }),
      [] { return detail::readXcr0(); });
}

}  // namespace tov
