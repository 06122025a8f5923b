// Data-cache descriptions on synthetic cache directories.
#include "detect/data_cache.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <vector>

#include "file_tree.hpp"
#include "tov/detect.hpp"

namespace {

using tov::CacheInfo;
using tov::toString;
using tov::detail::defaultCacheSize;
using tov::test::FileTree;

// Writes cpu<cpu>/cache/index<index>: type, level, size, shared_cpu_list, coherency_line_size,
// number_of_sets, ways_of_associativity. A null text leaves its file out.
void writeEntry(const FileTree& tree, int cpu, int index, std::vector<const char*> texts) {
  std::istringstream files(
      "type level size shared_cpu_list coherency_line_size number_of_sets ways_of_associativity");
  const std::string dir = "cpu" + std::to_string(cpu) + "/cache/index" + std::to_string(index);
  std::string file;
  for (const char* text : texts) {
    files >> file;
    if (text != nullptr) tree.write(dir + "/" + file, text);
  }
}

// L1 data, L1 instruction, L2 unified, L3 unified, as most x86 machines publish them.
void writeCommonLayout(const FileTree& tree, int cpu) {
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
  EXPECT_EQ(toString(CacheInfo{UINT_MAX, INT_MIN, UINT_MAX, 0, UINT_MAX}),
            "{4294967295 KiB, -2147483648, 4294967295 B, 0, 4294967295}");
}

TEST(DataCache, LevelsPickDataAndUnifiedEntriesInIndexOrder) {
  FileTree tree;
  writeCommonLayout(tree, 3);
  const std::string& root = tree.root;
  const std::string l3 = "{24576 KiB, 20, 64 B, 32768, 12}";
  EXPECT_EQ(describe(root, 3, 1), "{48 KiB, 2, 64 B, 64, 12}");
  EXPECT_EQ(describe(root, 3, 2), "{1280 KiB, 2, 64 B, 2048, 10}");
  EXPECT_EQ(describe(root, 3, 3), l3);
  // Levels above the deepest cache give the deepest one; no cache has a level of 0 or below.
  for (int level : {4, INT_MAX}) EXPECT_EQ(describe(root, 3, level), l3) << level;
  for (int level : {0, -1, INT_MIN}) EXPECT_EQ(describe(root, 3, level), kNone) << level;
  EXPECT_EQ(describe(root, 2, 1), kNone);  // a CPU without cache directories
  writeCommonLayout(tree, 0);
  EXPECT_EQ(describe(root, -1, 1), "{48 KiB, 2, 64 B, 64, 12}");  // failed sched_getcpu: CPU 0
  // Instruction entries are skipped; the scan ends at the first index without a type file.
  writeEntry(tree, 3, 4, {"Instruction\n", "1\n", "16K\n", "3\n", "32\n", "2\n", "2\n"});
  writeEntry(tree, 3, 6, {"Unified\n", "4\n", "65536K\n", "0-31\n", "64\n", "1\n", "1\n"});
  EXPECT_EQ(describe(root, 3, 4), l3);
  // Filling the gap with a later L1 entry: the first entry of the level asked for still wins.
  writeEntry(tree, 3, 5, {"Data\n", "1\n", "16K\n", "3\n", "32\n", "2\n", "2\n"});
  EXPECT_EQ(describe(root, 3, 2), "{1280 KiB, 2, 64 B, 2048, 10}");
  EXPECT_EQ(describe(root, 3, 4), "{65536 KiB, 32, 64 B, 1, 1}");
}

TEST(DataCache, MissingFilesTakeDefaultsUnreadableNumbersKeepEarlierValues) {
  FileTree tree;
  writeEntry(tree, 0, 0, {"Data\n", "1\n", "48K\n", "0,4\n", "64\n", "64\n", "12\n"});
  writeEntry(tree, 0, 1, {"Unified\n", "2\n"});
  EXPECT_EQ(describe(tree.root, 0, 1), "{48 KiB, 2, 64 B, 64, 12}");
  EXPECT_EQ(describe(tree.root, 0, 2), "{128 KiB, 1, 64 B, 0, 0}");
  // Not starting with a number, or too large for 32 bits: the field keeps L1's value.
  writeEntry(tree, 0, 1, {"Unified\n", "2\n", "K48\n", "x\n", "-64\n", "4294967296\n", " 7\n"});
  EXPECT_EQ(describe(tree.root, 0, 2), "{48 KiB, 1, 64 B, 64, 12}");
  writeEntry(tree, 0, 1, {"Unified\n", "2\n", "4294967295K\n", "0-3\n", "128\n", "+1\n", ""});
  EXPECT_EQ(describe(tree.root, 0, 2), "{4294967295 KiB, 4, 128 B, 64, 0}");
}

TEST(DataCache, EntriesWithoutALevelAreSkippedImplausibleOnesStayDefined) {
  FileTree tree;
  writeEntry(tree, 0, 0, {"Data\n", "1\n", "32K\n", "0\n", "64\n", "64\n", "8\n"});
  writeEntry(tree, 0, 1, {"Unified\n", nullptr, "9K\n"});
  writeEntry(tree, 0, 2, {"Unified\n", "L2\n", "9K\n"});
  writeEntry(tree, 0, 3, {"Unified\n", "99999999999\n", "9K\n"});
  EXPECT_EQ(describe(tree.root, 0, 2), "{32 KiB, 1, 64 B, 64, 8}");
  // Default sizes shift 32 KiB by the level only while the result fits in 32 bits.
  for (int level : {-1, INT_MIN, 27, 32, INT_MAX}) EXPECT_EQ(defaultCacheSize(level), 0u) << level;
  writeEntry(tree, 1, 0, {"Data\n", "-5\n", nullptr, "-2147483648-2147483647\n"});
  EXPECT_EQ(describe(tree.root, 1, 1), "{0 KiB, 2147483647, 64 B, 0, 0}");
}

}  // namespace
