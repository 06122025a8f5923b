#include "detect/data_cache.hpp"

#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>
#include <thread>

#include "detect/sysfs.hpp"
#include "detect/sysfs_tree.hpp"
#include "tov/detect.hpp"

namespace {

using tov::CacheInfo;
using tov::toString;
using tov::detail::describeDataCache;
using tov::test::SysfsTree;

struct Entry {
  const char* type;
  const char* level;
  const char* size;
  const char* shared;
  const char* line;
  const char* sets;
  const char* ways;
};

// Writes cpu<cpu>/cache/index<index>; a null field leaves its file out.
void writeEntry(const SysfsTree& tree, int cpu, int index, const Entry& entry) {
  std::string dir = "cpu";
  tov::detail::appendDecimal(dir, cpu);
  dir += "/cache/index";
  tov::detail::appendDecimal(dir, index);
  const std::pair<const char*, const char*> files[] = {{"/type", entry.type},
                                                       {"/level", entry.level},
                                                       {"/size", entry.size},
                                                       {"/shared_cpu_list", entry.shared},
                                                       {"/coherency_line_size", entry.line},
                                                       {"/number_of_sets", entry.sets},
                                                       {"/ways_of_associativity", entry.ways}};
  for (const auto& [name, content] : files) {
    if (content != nullptr) tree.write(dir + name, content);
  }
}

// L1 data, L1 instruction, L2 unified, L3 unified, as most x86 machines publish them.
void writeCommonLayout(const SysfsTree& tree, int cpu) {
  writeEntry(tree, cpu, 0, {"Data\n", "1\n", "48K\n", "0-1\n", "64\n", "64\n", "12\n"});
  writeEntry(tree, cpu, 1, {"Instruction\n", "1\n", "32K\n", "0-1\n", "64\n", "64\n", "8\n"});
  writeEntry(tree, cpu, 2, {"Unified\n", "2\n", "1280K\n", "0-1\n", "64\n", "2048\n", "10\n"});
  writeEntry(tree, cpu, 3, {"Unified\n", "3\n", "24576K\n", "0-19\n", "64\n", "32768\n", "12\n"});
}

std::string describe(const SysfsTree& tree, int cpu, int level) {
  return toString(describeDataCache(tree.root(), cpu, level));
}

constexpr const char* kNone = "{0 KiB, 0, 0 B, 0, 0}";

TEST(CacheInfoText, AllFieldsInPlainDecimal) {
  EXPECT_EQ(toString(CacheInfo{48, 2, 64, 64, 12}), "{48 KiB, 2, 64 B, 64, 12}");
  EXPECT_EQ(toString(CacheInfo{}), kNone);
  EXPECT_EQ(toString(CacheInfo{UINT_MAX, -1, UINT_MAX, 0, UINT_MAX}),
            "{4294967295 KiB, -1, 4294967295 B, 0, 4294967295}");
  EXPECT_EQ(toString(CacheInfo{0, INT_MIN, 0, 0, 0}), "{0 KiB, -2147483648, 0 B, 0, 0}");
}

TEST(DataCache, LevelsPickDataAndUnifiedEntriesInIndexOrder) {
  SysfsTree tree;
  writeCommonLayout(tree, 3);
  EXPECT_EQ(describe(tree, 3, 1), "{48 KiB, 2, 64 B, 64, 12}");
  EXPECT_EQ(describe(tree, 3, 2), "{1280 KiB, 2, 64 B, 2048, 10}");
  EXPECT_EQ(describe(tree, 3, 3), "{24576 KiB, 20, 64 B, 32768, 12}");
  EXPECT_EQ(describe(tree, 3, 4), "{24576 KiB, 20, 64 B, 32768, 12}");  // deepest below 4
  EXPECT_EQ(describe(tree, 3, 0), kNone);
  EXPECT_EQ(describe(tree, 3, -1), kNone);
  EXPECT_EQ(describe(tree, 2, 1), kNone);  // another CPU without cache directories
  // A failed sched_getcpu (negative) reads CPU 0.
  writeCommonLayout(tree, 0);
  EXPECT_EQ(describe(tree, -1, 1), "{48 KiB, 2, 64 B, 64, 12}");
  // The scan ends at the first index without a type file, even if later ones exist.
  writeEntry(tree, 3, 5, {"Unified\n", "4\n", "65536K\n", "0-31\n", "64\n", "1\n", "1\n"});
  EXPECT_EQ(describe(tree, 3, 4), "{24576 KiB, 20, 64 B, 32768, 12}");
  writeEntry(tree, 3, 4, {"Unified\n", "4\n", "131072K\n", "0-63\n", "128\n", "2\n", "2\n"});
  EXPECT_EQ(describe(tree, 3, 4), "{131072 KiB, 64, 128 B, 2, 2}");
}

TEST(DataCache, MissingFilesTakeDefaultsAndUnreadableNumbersKeepEarlierValues) {
  SysfsTree tree;
  writeEntry(tree, 0, 0, {"Data\n", "1\n", "48K\n", "0,4\n", "64\n", "64\n", "12\n"});
  writeEntry(tree, 0, 1, {"Unified\n", "2\n", nullptr, nullptr, nullptr, nullptr, nullptr});
  EXPECT_EQ(describe(tree, 0, 1), "{48 KiB, 2, 64 B, 64, 12}");
  EXPECT_EQ(describe(tree, 0, 2), "{128 KiB, 1, 64 B, 0, 0}");

  // Present but not starting with a number, or too large for 32 bits: L1's values remain.
  writeEntry(tree, 0, 1, {"Unified\n", "2\n", "K48\n", "x\n", "-64\n", "4294967296\n", " 7\n"});
  EXPECT_EQ(describe(tree, 0, 2), "{48 KiB, 1, 64 B, 64, 12}");
  writeEntry(tree, 0, 1, {"Unified\n", "2\n", "4294967295K\n", "0-3\n", "128\n", "+1\n", ""});
  EXPECT_EQ(describe(tree, 0, 2), "{4294967295 KiB, 4, 128 B, 64, 0}");
}

TEST(DataCache, EntriesWithoutALevelAreSkipped) {
  SysfsTree tree;
  writeEntry(tree, 0, 0, {"Data\n", "1\n", "32K\n", "0\n", "64\n", "64\n", "8\n"});
  writeEntry(tree, 0, 1, {"Unified\n", nullptr, "9K\n", "0\n", "1\n", "1\n", "1\n"});
  writeEntry(tree, 0, 2, {"Unified\n", "L2\n", "9K\n", "0\n", "1\n", "1\n", "1\n"});
  writeEntry(tree, 0, 3, {"Unified\n", "99999999999\n", "9K\n", "0\n", "1\n", "1\n", "1\n"});
  EXPECT_EQ(describe(tree, 0, 1), "{32 KiB, 1, 64 B, 64, 8}");
  EXPECT_EQ(describe(tree, 0, 2), "{32 KiB, 1, 64 B, 64, 8}");
}

TEST(DataCache, ImplausibleLevelsAndListsStayDefined) {
  EXPECT_EQ(tov::detail::defaultCacheSize(1), 64u);
  EXPECT_EQ(tov::detail::defaultCacheSize(3), 256u);
  EXPECT_EQ(tov::detail::defaultCacheSize(26), 2147483648u);
  for (int level : {-1, -2147483647 - 1, 27, 31, 32, 2147483647}) {
    EXPECT_EQ(tov::detail::defaultCacheSize(level), 0u) << level;
  }
  // A level of -5 is accepted for every level from -5 up; its size has no default to shift.
  SysfsTree tree;
  writeEntry(tree, 0, 0,
             {"Data\n", "-5\n", nullptr, "-2147483648-2147483647\n", nullptr, nullptr, nullptr});
  EXPECT_EQ(describe(tree, 0, 1), "{0 KiB, 2147483647, 64 B, 0, 0}");
  writeEntry(tree, 0, 1, {"Unified\n", "40\n", nullptr, "\n", nullptr, nullptr, nullptr});
  EXPECT_EQ(describe(tree, 0, 40), "{0 KiB, 1, 64 B, 0, 0}");
}

std::string realCache(const char* tree, int cpu, int level) {
  const std::string root = std::string(TOV_TEST_DATA_DIR) + "/sysfs/" + tree;
  return toString(describeDataCache(root, cpu, level));
}

// Expected texts are the files of each index read by hand.
TEST(RealTrees, DataCaches) {
  constexpr const char* kHybrid = "20em64t-hybrid-1p6c2t+2ca4co1t";
  EXPECT_EQ(realCache(kHybrid, 0, 1), "{48 KiB, 2, 64 B, 64, 12}");  // P-core
  EXPECT_EQ(realCache(kHybrid, 0, 2), "{1280 KiB, 2, 64 B, 2048, 10}");
  EXPECT_EQ(realCache(kHybrid, 0, 3), "{24576 KiB, 20, 64 B, 32768, 12}");
  EXPECT_EQ(realCache(kHybrid, 12, 1), "{32 KiB, 1, 64 B, 64, 8}");  // E-core
  EXPECT_EQ(realCache(kHybrid, 12, 2), "{2048 KiB, 4, 64 B, 2048, 16}");

  constexpr const char* kEmulated = "fakecpuid1f-64intel64-2p4d2n2c2t";
  EXPECT_EQ(realCache(kEmulated, 0, 1), "{32 KiB, 1, 64 B, 64, 8}");
  EXPECT_EQ(realCache(kEmulated, 0, 2), "{4096 KiB, 2, 64 B, 4096, 16}");
  EXPECT_EQ(realCache(kEmulated, 0, 3), "{16384 KiB, 8, 64 B, 16384, 16}");

  // Trailing NUL bytes in every file; the L3 line is 128 bytes.
  constexpr const char* kArm = "128arm-2pa2n8cluster4co";
  EXPECT_EQ(realCache(kArm, 0, 1), "{64 KiB, 1, 64 B, 256, 4}");
  EXPECT_EQ(realCache(kArm, 0, 3), "{32768 KiB, 32, 128 B, 2048, 15}");

  // Data L2 at index2, instruction L2 at index3 (skipped), L3 at index4; no shared_cpu_list.
  constexpr const char* kItanium = "8ia64-2s2c2t";
  EXPECT_EQ(realCache(kItanium, 0, 1), "{16 KiB, 1, 64 B, 64, 4}");
  EXPECT_EQ(realCache(kItanium, 0, 2), "{256 KiB, 1, 128 B, 256, 8}");
  EXPECT_EQ(realCache(kItanium, 0, 3), "{9216 KiB, 1, 128 B, 8192, 9}");
  EXPECT_EQ(realCache(kItanium, 0, 4), "{9216 KiB, 1, 128 B, 8192, 9}");

  // L2 and L3 without line size and ways: the defaults 64 and 0.
  constexpr const char* kPower9 = "nvidiagpunumanodes";
  EXPECT_EQ(realCache(kPower9, 0, 1), "{32 KiB, 1, 128 B, 8, 32}");
  EXPECT_EQ(realCache(kPower9, 0, 2), "{512 KiB, 1, 64 B, 8, 0}");
  EXPECT_EQ(realCache(kPower9, 0, 3), "{10240 KiB, 1, 64 B, 8, 0}");
}

// On a thread pinned to one CPU, so that the CPU the library reads is known.
TEST(ThisMachine, FirstLevelDataCacheAgreesWithTheSystem) {
  cpu_set_t mask;
  CPU_ZERO(&mask);
  ASSERT_EQ(sched_getaffinity(0, sizeof mask, &mask), 0);
  int cpu = 0;
  while (cpu < CPU_SETSIZE && !CPU_ISSET(cpu, &mask)) ++cpu;
  ASSERT_LT(cpu, CPU_SETSIZE);

  CacheInfo l1;
  bool pinned = false;
  std::thread([&] {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    pinned = sched_setaffinity(0, sizeof one, &one) == 0;
    l1 = tov::detectDataCache(1);
  }).join();
  ASSERT_TRUE(pinned);

  std::string index0(tov::detail::kSysfsCpuRoot);
  index0 += "/cpu";
  tov::detail::appendDecimal(index0, cpu);
  index0 += "/cache/index0/type";
  if (!std::filesystem::exists(index0)) {
    // The kernel publishes no cache directories here (common in virtual machines).
    EXPECT_EQ(toString(l1), kNone);
    return;
  }
  const long bytes = sysconf(_SC_LEVEL1_DCACHE_SIZE);
  if (bytes <= 0) GTEST_SKIP() << "the C library does not know the L1 data cache size";
  EXPECT_EQ(static_cast<long>(l1.size) * 1024, bytes);
}

}  // namespace
