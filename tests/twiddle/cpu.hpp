// Skips a test when the processor lacks the instruction set that a writer needs.
#pragma once

#include <gtest/gtest.h>

#include "tov/config.hpp"

namespace tov::test {

inline bool cpuHasAvx2() {
  return (static_cast<int>(detectArchitecture()) & static_cast<int>(Architecture::avx2)) != 0;
}
inline bool cpuHasAvx512Fp16() { return detectArchitecture() == Architecture::avx512fp16; }

}  // namespace tov::test

#define TOV_REQUIRE_AVX2()                                                           \
  do {                                                                               \
    if (!::tov::test::cpuHasAvx2()) GTEST_SKIP() << "processor lacks AVX2 with FMA"; \
  } while (0)
