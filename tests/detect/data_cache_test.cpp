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
using tov::test::SysfsTree;

// Writes cpu<cpu>/cache/index<index>: type, level, size, shared_cpu_list, coherency_line_size,
// number_of_sets, ways_of_associativity. A null text leaves its file out.
void writeEntry(const SysfsTree& tree, int cpu, int index, std::vector<const char*> texts) {
  std::string dir = tov::detail::cpuDirectory("", cpu).substr(1) + "/cache/index";
  tov::detail::appendDecimal(dir, index);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (texts[i] != nullptr) tree.write(dir + "/" + tov::test::kCacheFiles[i], texts[i]);
  }
}

// L1 data, L1 instruction, L2 unified, L3 unified, as most x86 machines publish them.
void writeCommonLayout(const SysfsTree& tree, int cpu) {
  writeEntry(tree, cpu, 0, {"Data\n", "1\n", "48K\n", "0-1\n", "64\n", "64\n", "12\n"});
  writeEntry(tree, cpu, 1, {"Instruction\n", "1\n", "32K\n", "0-1\n", "64\n", "64\n", "8\n"});
  writeEntry(tree, cpu, 2, {"Unified\n", "2\n", "1280K\n", "0-1\n", "64\n", "2048\n", "10\n"});
  writeEntry(tree, cpu, 3, {"Unified\n", "3\n", "24576K\n", "0-19\n", "64\n", "32768\n", "12\n"});
}

std::string describe(const std::string& root, int cpu, int level) {
  return toString(tov::detail::describeDataCache(root, cpu, level));
}

constexpr const char* kNone = "{0 KiB, 0, 0 B, 0, 0}";

TEST(CacheInfoText, AllFieldsInPlainDecimal) {
  EXPECT_EQ(toString(CacheInfo{48, 2, 64, 64, 12}), "{48 KiB, 2, 64 B, 64, 12}");
  EXPECT_EQ(toString(CacheInfo{}), kNone);
  EXPECT_EQ(toString(CacheInfo{UINT_MAX, INT_MIN, UINT_MAX, 0, UINT_MAX}),
            "{4294967295 KiB, -2147483648, 4294967295 B, 0, 4294967295}");
}

TEST(DataCache, LevelsPickDataAndUnifiedEntriesInIndexOrder) {
  SysfsTree tree;
  writeCommonLayout(tree, 3);
  const std::string& root = tree.root();
  EXPECT_EQ(describe(root, 3, 1), "{48 KiB, 2, 64 B, 64, 12}");
  EXPECT_EQ(describe(root, 3, 2), "{1280 KiB, 2, 64 B, 2048, 10}");
  EXPECT_EQ(describe(root, 3, 3), "{24576 KiB, 20, 64 B, 32768, 12}");
  EXPECT_EQ(describe(root, 3, 4), "{24576 KiB, 20, 64 B, 32768, 12}");  // deepest below 4
  EXPECT_EQ(describe(root, 3, 0), kNone);
  EXPECT_EQ(describe(root, 2, 1), kNone);  // a CPU without cache directories
  writeCommonLayout(tree, 0);
  EXPECT_EQ(describe(root, -1, 1), "{48 KiB, 2, 64 B, 64, 12}");  // failed sched_getcpu: CPU 0
  // The scan ends at the first index without a type file.
  writeEntry(tree, 3, 5, {"Unified\n", "4\n", "65536K\n", "0-31\n", "64\n", "1\n", "1\n"});
  EXPECT_EQ(describe(root, 3, 4), "{24576 KiB, 20, 64 B, 32768, 12}");
  // Filling the gap with a later L1 entry: the first entry of the level asked for still wins.
  writeEntry(tree, 3, 4, {"Data\n", "1\n", "16K\n", "3\n", "32\n", "2\n", "2\n"});
  EXPECT_EQ(describe(root, 3, 2), "{1280 KiB, 2, 64 B, 2048, 10}");
  EXPECT_EQ(describe(root, 3, 4), "{65536 KiB, 32, 64 B, 1, 1}");
}

TEST(DataCache, MissingFilesTakeDefaultsUnreadableNumbersKeepEarlierValues) {
  SysfsTree tree;
  writeEntry(tree, 0, 0, {"Data\n", "1\n", "48K\n", "0,4\n", "64\n", "64\n", "12\n"});
  writeEntry(tree, 0, 1, {"Unified\n", "2\n"});
  EXPECT_EQ(describe(tree.root(), 0, 1), "{48 KiB, 2, 64 B, 64, 12}");
  EXPECT_EQ(describe(tree.root(), 0, 2), "{128 KiB, 1, 64 B, 0, 0}");
  // Not starting with a number, or too large for 32 bits: the field keeps L1's value.
  writeEntry(tree, 0, 1, {"Unified\n", "2\n", "K48\n", "x\n", "-64\n", "4294967296\n", " 7\n"});
  EXPECT_EQ(describe(tree.root(), 0, 2), "{48 KiB, 1, 64 B, 64, 12}");
  writeEntry(tree, 0, 1, {"Unified\n", "2\n", "4294967295K\n", "0-3\n", "128\n", "+1\n", ""});
  EXPECT_EQ(describe(tree.root(), 0, 2), "{4294967295 KiB, 4, 128 B, 64, 0}");
}

TEST(DataCache, EntriesWithoutALevelAreSkipped) {
  SysfsTree tree;
  writeEntry(tree, 0, 0, {"Data\n", "1\n", "32K\n", "0\n", "64\n", "64\n", "8\n"});
  writeEntry(tree, 0, 1, {"Unified\n", nullptr, "9K\n"});
  writeEntry(tree, 0, 2, {"Unified\n", "L2\n", "9K\n"});
  writeEntry(tree, 0, 3, {"Unified\n", "99999999999\n", "9K\n"});
  EXPECT_EQ(describe(tree.root(), 0, 2), "{32 KiB, 1, 64 B, 64, 8}");
}

TEST(DataCache, ImplausibleLevelsAndListsStayDefined) {
  EXPECT_EQ(tov::detail::defaultCacheSize(3), 256u);
  EXPECT_EQ(tov::detail::defaultCacheSize(26), 2147483648u);
  for (int level : {-1, INT_MIN, 27, 32, INT_MAX}) {
    EXPECT_EQ(tov::detail::defaultCacheSize(level), 0u) << level;
  }
  // Level -5 is accepted for every level from -5 up, with no default size to shift.
  SysfsTree tree;
  writeEntry(tree, 0, 0, {"Data\n", "-5\n", nullptr, "-2147483648-2147483647\n"});
  EXPECT_EQ(describe(tree.root(), 0, 1), "{0 KiB, 2147483647, 64 B, 0, 0}");
}

// Expected texts are the files of each index read by hand.
TEST(RealTrees, DataCaches) {
  const std::string data = std::string(TOV_TEST_DATA_DIR) + "/sysfs/";
  const std::string hybrid = data + "20em64t-hybrid-1p6c2t+2ca4co1t";
  EXPECT_EQ(describe(hybrid, 0, 1), "{48 KiB, 2, 64 B, 64, 12}");  // P-core
  EXPECT_EQ(describe(hybrid, 0, 2), "{1280 KiB, 2, 64 B, 2048, 10}");
  EXPECT_EQ(describe(hybrid, 0, 3), "{24576 KiB, 20, 64 B, 32768, 12}");
  EXPECT_EQ(describe(hybrid, 12, 1), "{32 KiB, 1, 64 B, 64, 8}");  // E-core
  EXPECT_EQ(describe(hybrid, 12, 2), "{2048 KiB, 4, 64 B, 2048, 16}");
  const std::string emulated = data + "fakecpuid1f-64intel64-2p4d2n2c2t";
  EXPECT_EQ(describe(emulated, 0, 2), "{4096 KiB, 2, 64 B, 4096, 16}");
  EXPECT_EQ(describe(emulated, 0, 3), "{16384 KiB, 8, 64 B, 16384, 16}");
  // Trailing NUL bytes in every file.
  const std::string arm = data + "128arm-2pa2n8cluster4co";
  EXPECT_EQ(describe(arm, 0, 1), "{64 KiB, 1, 64 B, 256, 4}");
  EXPECT_EQ(describe(arm, 0, 3), "{32768 KiB, 32, 128 B, 2048, 15}");
  // Data L2 at index2, instruction L2 at index3, L3 at index4; no shared_cpu_list.
  const std::string itanium = data + "8ia64-2s2c2t";
  EXPECT_EQ(describe(itanium, 0, 2), "{256 KiB, 1, 128 B, 256, 8}");
  EXPECT_EQ(describe(itanium, 0, 3), "{9216 KiB, 1, 128 B, 8192, 9}");
  EXPECT_EQ(describe(itanium, 0, 4), "{9216 KiB, 1, 128 B, 8192, 9}");
  // L2 and L3 without line size and ways.
  const std::string power9 = data + "nvidiagpunumanodes";
  EXPECT_EQ(describe(power9, 0, 1), "{32 KiB, 1, 128 B, 8, 32}");
  EXPECT_EQ(describe(power9, 0, 3), "{10240 KiB, 1, 64 B, 8, 0}");
}

TEST(ThisMachine, FirstLevelDataCacheAgreesWithTheSystem) {
  cpu_set_t mask;
  CPU_ZERO(&mask);
  ASSERT_EQ(sched_getaffinity(0, sizeof mask, &mask), 0);
  int cpu = 0;
  while (cpu < CPU_SETSIZE - 1 && !CPU_ISSET(cpu, &mask)) ++cpu;
  // On a thread pinned to that CPU, so that the CPU whose caches are read is known.
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
  const std::string index0 =
      tov::detail::cpuDirectory(tov::detail::kSysfsCpuRoot, cpu) + "/cache/index0/type";
  if (!std::filesystem::exists(index0)) {
    EXPECT_EQ(toString(l1), kNone);  // no cache directories (common in virtual machines)
    return;
  }
  const long bytes = sysconf(_SC_LEVEL1_DCACHE_SIZE);
  if (bytes <= 0) GTEST_SKIP() << "the C library does not know the L1 data cache size";
  EXPECT_EQ(l1.size * 1024L, bytes);
}

}  // namespace
