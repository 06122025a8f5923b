// CPU and topology-group counts on synthetic trees with a stand-in affinity source and on
// trimmed trees of real machines.
#include "detect/topology.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

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

// Cores, dies and packages as the real machines have them. Kernels before 5.3 (the Itanium, both
// POWER machines, the Haswell with CPUs 0-3 and 21-23 offline) publish only thread and core
// sibling lists; arm64 kernels publish no die list (the GB10) or one naming the CPU alone (the
// Kunpeng, whose answer stands). The POWER7's kernel lists only the core as its package, so its
// 8 sockets read as 64 packages.
TEST(RealTrees, CountsWithAllOnlineCpus) {
  std::vector<int> power9 = cpuRange(0, 15), power9High = cpuRange(88, 103);
  power9.insert(power9.end(), power9High.begin(), power9High.end());
  const struct {
    const char* name;
    std::vector<int> cpus;
    int groups[3];  // cores, dies, packages
  } trees[] = {
      {"128arm-2pa2n8cluster4co", cpuRange(0, 127), {128, 128, 2}},
      {"20em64t-hybrid-1p6c2t+2ca4co1t", cpuRange(0, 19), {14, 1, 1}},
      {"fakecpuid1f-64intel64-2p4d2n2c2t", cpuRange(0, 63), {32, 8, 4}},
      {"fakecpuid1f-64intel64-2p4d2n2c2t", cpuRange(4, 11), {4, 2, 1}},  // straddles two dies
      {"nvidia-dgx-gb10", cpuRange(0, 19), {20, 1, 1}},
      {"8ia64-2s2c2t", cpuRange(0, 7), {4, 2, 2}},
      {"nvidiagpunumanodes", power9, {8, 2, 2}},
      {"offline-cpu0-node0", cpuRange(4, 20), {17, 2, 2}},
      {"256ppc-8n8s4t", cpuRange(0, 255), {64, 64, 64}},
  };
  // The affinity source takes only masks of 1024 bits or more, so every count also follows the
  // mask as it grows from 256 bits.
  for (const auto& [name, cpus, groups] : trees) {
    const std::string root = std::string(TOV_TEST_DATA_DIR) + "/sysfs/" + name;
    for (int level = 0; level < 3; ++level) {
      const int counted = countTopologyGroups(root, kLevels[level], fakeAffinity(cpus, 128));
      EXPECT_EQ(counted, groups[level]) << name << kLevels[level][0];
    }
    EXPECT_EQ(countCpus(fakeAffinity(cpus, 128)), static_cast<int>(cpus.size()));
  }
}

}  // namespace
