#include "detect/topology.hpp"

#include <gtest/gtest.h>
#include <sched.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "detect/sysfs.hpp"
#include "detect/sysfs_tree.hpp"
#include "tov/detect.hpp"

namespace {

using tov::detail::countCpus;
using tov::detail::countTopologyGroups;
using tov::test::cpuRange;
using tov::test::FakeAffinity;
using tov::test::SysfsTree;

constexpr const char* kCore = "/topology/core_cpus_list";
constexpr const char* kDie = "/topology/die_cpus_list";
constexpr const char* kPackage = "/topology/package_cpus_list";
constexpr const char* kLevels[] = {kCore, kDie, kPackage};

std::string cpuFile(int cpu, const char* suffix) {
  return tov::detail::cpuDirectory("", cpu).substr(1) + suffix;
}

int cores(const SysfsTree& tree, std::vector<int> cpus) {
  return countTopologyGroups(tree.root(), kCore, FakeAffinity(std::move(cpus)));
}

TEST(TopologyGroups, HyperThreadPairsCountOncePerCoreWithinTheMask) {
  SysfsTree tree;
  const char* lists[] = {"0,4\n", "1,5\n", "2,6\n", "3,7\n"};
  for (int cpu = 0; cpu < 4; ++cpu) tree.write(cpuFile(cpu, kCore), lists[cpu]);
  // CPUs 4-7 claim all eight: were their files read, the count would collapse.
  for (int cpu = 4; cpu < 8; ++cpu) tree.write(cpuFile(cpu, kCore), "0-7\n");
  EXPECT_EQ(countCpus(FakeAffinity(cpuRange(0, 7))), 8);
  EXPECT_EQ(cores(tree, cpuRange(0, 7)), 4);
  EXPECT_EQ(cores(tree, {0, 4}), 1);
  tree.write(cpuFile(5, kCore), "1,5\n");
  EXPECT_EQ(cores(tree, {0, 4, 5}), 2);  // 5 stands for its core although 1 is not in the mask
}

TEST(TopologyGroups, ListsAppliedToTheMask) {
  SysfsTree tree;
  const std::pair<const char*, int> cases[] = {
      {"0-3\n", 1},
      {"3-1\n", 3},                 // names 3 only
      {"0-1 2-3\n", 3},             // the blank ends the list
      {"-1,256,100000,-5-2\n", 2},  // negative and beyond the 256-bit set: ignored
  };
  for (const auto& [list, expected] : cases) {
    tree.write(cpuFile(0, kCore), list);
    EXPECT_EQ(cores(tree, cpuRange(0, 3)), expected) << list;
  }
  // Contradicting lists: CPU 1 clears the visited CPU 0, and the walk ends once the CPUs visited
  // (0, 1) reach the count left (1, 3), before CPU 3 would clear 1.
  tree.write(cpuFile(0, kCore), "0\n");
  tree.write(cpuFile(1, kCore), "0,2\n");
  tree.write(cpuFile(3, kCore), "1,3\n");
  EXPECT_EQ(cores(tree, cpuRange(0, 3)), 2);
}

TEST(TopologyGroups, CpusWithoutAReadableFileStandAlone) {
  SysfsTree tree;
  for (const char* level : kLevels) {
    EXPECT_EQ(countTopologyGroups(tree.root(), level, FakeAffinity(cpuRange(2, 7))), 6);
  }
  tree.write(cpuFile(2, kCore), "");
  tree.write(cpuFile(3, kCore) + "/x", "");  // a directory where the file should be
  tree.write(cpuFile(4, kCore), "4-7");
  EXPECT_EQ(cores(tree, cpuRange(2, 7)), 3);
  EXPECT_EQ(cores(tree, {}), 0);  // empty mask
}

TEST(AffinityMask, GrowsByDoublingFromTheSmallestSize) {
  SysfsTree tree;
  tree.write(cpuFile(0, kCore), "0,700\n");
  FakeAffinity wide({0, 700, 701}, 128);  // a kernel with a 1024-bit CPU mask
  EXPECT_EQ(countCpus(std::ref(wide)), 3);
  EXPECT_EQ(wide.requestedBytes, (std::vector<std::size_t>{32, 64, 128}));
  EXPECT_EQ(countTopologyGroups(tree.root(), kCore, std::ref(wide)), 2);

  FakeAffinity broken(cpuRange(0, 3), 32, true);
  EXPECT_EQ(countCpus(std::ref(broken)), 1);
  std::vector<std::size_t> sizes;  // 16 sizes, 32 bytes to 1 MiB
  for (std::size_t bytes = 32; bytes <= (std::size_t{1} << 20); bytes *= 2) sizes.push_back(bytes);
  EXPECT_EQ(broken.requestedBytes, sizes);
  for (const char* level : kLevels) {
    EXPECT_EQ(countTopologyGroups(tree.root(), level, std::ref(broken)), 1);
  }
}

TEST(AffinityMask, AbsurdRangesCostOnlyTheSetSize) {
  SysfsTree tree;
  tree.write(cpuFile(0, kCore), "-2147483648-2147483647,0-2147483647,0-2147483647\n");
  const auto start = std::chrono::steady_clock::now();
  FakeAffinity largest({0, 5, (1 << 23) - 1}, std::size_t{1} << 20);  // 2^23 bits
  EXPECT_EQ(countTopologyGroups(tree.root(), kCore, std::ref(largest)), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// An independent reading: the number of distinct list texts among the CPUs (a CPU without the
// file stands alone). Equal to the group count when the lists agree.
int distinctLists(const std::string& root, const char* suffix, const std::vector<int>& cpus) {
  std::set<std::string> groups;
  for (int cpu : cpus) {
    std::ifstream in(root + "/" + cpuFile(cpu, suffix));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    groups.insert(text.empty() ? cpuFile(cpu, "") : text);
  }
  return static_cast<int>(groups.size());
}

TEST(RealTrees, CountsWithAllOnlineCpus) {
  std::vector<int> power9 = cpuRange(0, 15);
  for (int cpu = 88; cpu <= 103; ++cpu) power9.push_back(cpu);
  const struct {
    const char* name;
    std::vector<int> cpus;
    int groups[3];  // cores, dies, packages
  } trees[] = {
      {"128arm-2pa2n8cluster4co", cpuRange(0, 127), {128, 128, 2}},
      {"20em64t-hybrid-1p6c2t+2ca4co1t", cpuRange(0, 19), {14, 1, 1}},
      {"fakecpuid1f-64intel64-2p4d2n2c2t", cpuRange(0, 63), {32, 8, 4}},
      {"8ia64-2s2c2t", cpuRange(0, 7), {8, 8, 8}},   // no list files
      {"nvidiagpunumanodes", power9, {32, 32, 32}},  // no list files
  };
  for (const auto& tree : trees) {
    const std::string root = std::string(TOV_TEST_DATA_DIR) + "/sysfs/" + tree.name;
    EXPECT_EQ(countCpus(FakeAffinity(tree.cpus)), static_cast<int>(tree.cpus.size()));
    for (int level = 0; level < 3; ++level) {
      SCOPED_TRACE(std::string(tree.name) + kLevels[level]);
      EXPECT_EQ(countTopologyGroups(root, kLevels[level], FakeAffinity(tree.cpus)),
                tree.groups[level]);
      EXPECT_EQ(distinctLists(root, kLevels[level], tree.cpus), tree.groups[level]);
    }
  }
  // Narrower masks: one P-core with both threads and four E-cores; CPUs 4-11 of the emulated
  // machine straddle its first two dies.
  const std::string data = std::string(TOV_TEST_DATA_DIR) + "/sysfs/";
  const std::string hybrid = data + "20em64t-hybrid-1p6c2t+2ca4co1t";
  EXPECT_EQ(countTopologyGroups(hybrid, kCore, FakeAffinity({0, 1, 12, 13, 14, 15})), 5);
  const std::string emulated = data + "fakecpuid1f-64intel64-2p4d2n2c2t";
  EXPECT_EQ(countTopologyGroups(emulated, kCore, FakeAffinity(cpuRange(4, 11))), 4);
  EXPECT_EQ(countTopologyGroups(emulated, kDie, FakeAffinity(cpuRange(4, 11))), 2);
  EXPECT_EQ(countTopologyGroups(emulated, kPackage, FakeAffinity(cpuRange(4, 11))), 1);
}

TEST(ThisMachine, CountsFollowTheThreadsAffinity) {
  cpu_set_t set;
  CPU_ZERO(&set);
  ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
  std::vector<int> cpus;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &set)) cpus.push_back(cpu);
  }
  EXPECT_EQ(tov::detectCpus(), static_cast<int>(cpus.size()));
  const std::string root(tov::detail::kSysfsCpuRoot);
  EXPECT_EQ(tov::detectCores(), distinctLists(root, kCore, cpus));
  EXPECT_EQ(tov::detectDies(), distinctLists(root, kDie, cpus));
  EXPECT_EQ(tov::detectPackages(), distinctLists(root, kPackage, cpus));

  // A thread of its own narrows its mask to one CPU; the test thread's mask stays as it is.
  std::vector<int> narrowed;
  std::thread([&narrowed, cpu = cpus.back()] {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0) return;
    narrowed = {tov::detectCpus(), tov::detectCores(), tov::detectDies(), tov::detectPackages()};
  }).join();
  EXPECT_EQ(narrowed, (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(tov::detectCpus(), static_cast<int>(cpus.size()));
}

}  // namespace
