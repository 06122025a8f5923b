// The text form of a cache description and the default sizes. The scan of cache directories is
// checked on the trees of tests/data/sysfs (topology_test.cpp), made-up-cache-entries among them.
#include "detect/data_cache.hpp"

#include <gtest/gtest.h>

#include <climits>

#include "tov/detect.hpp"

namespace {

TEST(CacheInfoText, AllFieldsInPlainDecimal) {
  EXPECT_EQ(tov::toString(tov::CacheInfo{UINT_MAX, INT_MIN, UINT_MAX, 0, UINT_MAX}),
            "{4294967295 KiB, -2147483648, 4294967295 B, 0, 4294967295}");
}

// 32 KiB shifted by the level only while the result fits in 32 bits.
TEST(DataCache, DefaultSizesExistForLevelsZeroTo26) {
  for (int level : {-1, INT_MIN, 27, 32, INT_MAX}) {
    EXPECT_EQ(tov::detail::defaultCacheSize(level), 0u) << level;
  }
  EXPECT_EQ(tov::detail::defaultCacheSize(26), 1u << 31);
}

}  // namespace
