// CPU and topology-group counts on synthetic trees with a stand-in affinity source, and counts
// and caches of trimmed trees of real machines.
#include "detect/topology.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "detect/cpu_list.hpp"
#include "detect/data_cache.hpp"
#include "file_tree.hpp"

namespace {

using tov::detail::countCpus;
using tov::detail::countTopologyGroups;
using tov::detail::kCoreLists;
using Lists = std::span<const char* const>;
constexpr Lists kLevels[] = {kCoreLists, tov::detail::kDieLists, tov::detail::kPackageLists};

// Stands in for sched_getaffinity: sets the bits of `cpus`, or fails (-1) for a buffer smaller
// than `minimumBytes`, as the kernel does for one shorter than its CPU mask.
tov::detail::AffinitySource fakeAffinity(std::vector<int> cpus, std::size_t minimumBytes = 32) {
  return [=](std::size_t bytes, cpu_set_t* set) {
    if (bytes < minimumBytes) return -1;
    for (int cpu : cpus) CPU_SET_S(static_cast<std::size_t>(cpu), bytes, set);
    return 0;
  };
}

std::vector<int> cpuRange(int first, int last) {
  std::vector<int> cpus;
  for (int cpu = first; cpu <= last; ++cpu) cpus.push_back(cpu);
  return cpus;
}

// The core list file of `cpu` under its newest name (0) or its older one (1).
std::string coreList(int cpu, int name = 0) {
  return "cpu" + std::to_string(cpu) + kCoreLists[name];
}

int cores(const tov::test::FileTree& tree, std::vector<int> cpus) {
  return countTopologyGroups(tree.root, kCoreLists, fakeAffinity(std::move(cpus)));
}

TEST(TopologyGroups, EachCpuInTheMaskClearsTheOtherMembersOfItsGroup) {
  tov::test::FileTree tree;
  const char* lists[] = {"0,4\n", "1,5\n", "2,6\n", "3,7\n"};
  for (int cpu = 0; cpu < 4; ++cpu) tree.write(coreList(cpu), lists[cpu]);
  // CPUs 4-7 claim all eight: were their files read, the count would collapse.
  for (int cpu = 4; cpu < 8; ++cpu) tree.write(coreList(cpu), "0-7\n");
  EXPECT_EQ(countCpus(fakeAffinity(cpuRange(0, 7))), 8);
  EXPECT_EQ(cores(tree, cpuRange(0, 7)), 4);
  EXPECT_EQ(cores(tree, {0, 4}), 1);
  tree.write(coreList(5), "1,5\n");
  EXPECT_EQ(cores(tree, {0, 4, 5}), 2);  // 5 stands for its core although 1 is not in the mask
  tree.write(coreList(0), "-1,256,100000,-5-3\n");  // outside the 256-bit set: ignored
  EXPECT_EQ(cores(tree, cpuRange(0, 3)), 1);
  // Contradicting lists: CPU 1 clears the visited CPU 0, and the walk ends once the CPUs visited
  // (0, 1) reach the count left (1, 3), before CPU 3 would clear 1.
  tree.write(coreList(0), "0\n");
  tree.write(coreList(1), "0,2\n");
  tree.write(coreList(3), "1,3\n");
  EXPECT_EQ(cores(tree, cpuRange(0, 3)), 2);
  EXPECT_EQ(cores(tree, {}), 0);  // empty mask
  // No mask at any size: 1. Absurd ranges cost no more than the set's size, here 2^23 bits.
  EXPECT_EQ(countTopologyGroups(tree.root, kCoreLists, fakeAffinity({0}, SIZE_MAX)), 1);
  EXPECT_EQ(countCpus(fakeAffinity({0}, SIZE_MAX)), 1);
  tree.write(coreList(0), "-2147483648-2147483647,0-2147483647,0-2147483647\n");
  const auto start = std::chrono::steady_clock::now();
  const auto largest = fakeAffinity({0, 5, (1 << 23) - 1}, std::size_t{1} << 20);
  EXPECT_EQ(countTopologyGroups(tree.root, kCoreLists, largest), 1);
  EXPECT_EQ(countCpus(largest), 3);  // the largest set is tried too
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(TopologyGroups, EachCpuReadsItsFirstNonEmptyListFile) {
  tov::test::FileTree tree;
  for (const Lists lists : kLevels) {
    EXPECT_EQ(countTopologyGroups(tree.root, lists, fakeAffinity(cpuRange(2, 7))), 6);
  }
  tree.write(coreList(2), "");  // empty: the older name is read
  tree.write(coreList(2, 1), "2-3");
  tree.write(coreList(4), "4");  // present: the older name is not read
  tree.write(coreList(4, 1), "4-5");
  tree.write(coreList(6) + "/x", "");  // a directory where the file should be
  tree.write(coreList(6, 1), "6-7");
  EXPECT_EQ(cores(tree, cpuRange(2, 7)), 4);
}

// The trees of tests/data/sysfs (real machines, and made-up cache entries), each checked against
// the `.expected` file beside its tree ("mask CPU-LIST CORES DIES PACKAGES", "cache CPU LEVEL
// TEXT"), so that adding a machine is adding data. The affinity source takes only masks of 1024
// bits or more, so every count also follows the mask as it grows from 256 bits.
TEST(SysfsTrees, CountsAndCachesAsRecordedBesideEachTree) {
  int trees = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TOV_TEST_DATA_DIR "/sysfs")) {
    if (entry.path().extension() != ".expected") continue;
    ++trees;
    const std::string root = entry.path().parent_path() / entry.path().stem();
    std::ifstream file(entry.path());
    for (std::string line; std::getline(file, line);) {
      std::istringstream fields(line);
      std::string kind, list;
      int groups[3] = {}, cpu = 0, level = 0;
      if (fields >> kind >> list && kind == "mask" &&
          fields >> groups[0] >> groups[1] >> groups[2]) {
        std::vector<int> cpus;
        tov::detail::scanCpuList(list, [&](tov::detail::CpuRange r) {
          for (int c = r.first; c <= r.last; ++c) cpus.push_back(c);
        });
        for (int i = 0; i < 3; ++i) {
          EXPECT_EQ(countTopologyGroups(root, kLevels[i], fakeAffinity(cpus, 128)), groups[i])
              << root << kLevels[i][0];
        }
        EXPECT_EQ(countCpus(fakeAffinity(cpus, 128)), static_cast<int>(cpus.size())) << root;
      } else if (kind == "cache") {
        cpu = std::stoi(list);
        fields >> level >> std::ws;
        std::getline(fields, list);
        EXPECT_EQ(tov::toString(tov::detail::describeDataCache(root, cpu, level)), list)
            << root << " cpu " << cpu << " L" << level;
      }
    }
  }
  EXPECT_GE(trees, 9);
}

}  // namespace
