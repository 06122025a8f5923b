#include <cpuid.h>
#include <immintrin.h>

#include "config/classify_architecture.hpp"

namespace tov {
namespace detail {

CpuidWords readCpuidWords() {
  CpuidWords words{};
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid_count(0, 0, eax, ebx, ecx, edx);
  words.maxLeaf = eax;
  __cpuid_count(1, 0, eax, ebx, ecx, edx);
  words.leaf1Ecx = ecx;
  if (words.maxLeaf >= 7) {
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    words.leaf7Ebx = ebx;
    words.leaf7Edx = edx;
  }
  return words;
}

// XGETBV needs the xsave target only for this function; the rest of the file stays baseline.
__attribute__((target("xsave"))) std::uint64_t readXcr0() { return _xgetbv(0); }

}  // namespace detail

Architecture detectArchitecture() {
  return detail::classifyArchitecture(detail::readCpuidWords(), [] { return detail::readXcr0(); });
}

}  // namespace tov
