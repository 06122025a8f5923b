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

std::string cpuFile(int cpu, const char* suffix) {
  std::string path = "cpu";
  tov::detail::appendDecimal(path, cpu);
  return path + suffix;
}

int cores(const SysfsTree& tree, FakeAffinity& affinity) {
  return countTopologyGroups(tree.root(), kCore, std::ref(affinity));
}

// Eight CPUs, two hardware threads per core: CPU n and n + 4 share a core. The files of CPUs 4-7
// claim all eight CPUs: were they read, the count would collapse.
void writeHyperThreadPairs(const SysfsTree& tree) {
  const char* lists[] = {"0,4\n", "1,5\n", "2,6\n", "3,7\n"};
  for (int cpu = 0; cpu < 4; ++cpu) tree.write(cpuFile(cpu, kCore), lists[cpu]);
  for (int cpu = 4; cpu < 8; ++cpu) tree.write(cpuFile(cpu, kCore), "0-7\n");
}

TEST(TopologyGroups, HyperThreadPairsCountOncePerCoreWithinTheMask) {
  SysfsTree tree;
  writeHyperThreadPairs(tree);
  FakeAffinity all{cpuRange(0, 7)};
  EXPECT_EQ(countCpus(std::ref(all)), 8);
  EXPECT_EQ(cores(tree, all), 4);

  FakeAffinity pair{{0, 4}};
  EXPECT_EQ(cores(tree, pair), 1);

  // CPU 5 is visited although its sibling 1 is outside the mask.
  tree.write(cpuFile(5, kCore), "1,5\n");
  FakeAffinity lone{{0, 4, 5}};
  EXPECT_EQ(cores(tree, lone), 2);
}

TEST(TopologyGroups, ListSyntaxAppliedToTheMask) {
  SysfsTree tree;
  FakeAffinity four{cpuRange(0, 3)};
  tree.write(cpuFile(0, kCore), "0-3\n");
  EXPECT_EQ(cores(tree, four), 1);
  tree.write(cpuFile(0, kCore), "3-1\n");  // names 3 only: 1 and 2 stay groups of their own
  EXPECT_EQ(cores(tree, four), 3);
  tree.write(cpuFile(0, kCore), "0-1 2-3\n");  // the blank ends the list after 0-1
  EXPECT_EQ(cores(tree, four), 3);
  // Negative numbers and CPUs beyond the 256-bit set are ignored; the rest of the list acts.
  tree.write(cpuFile(0, kCore), "-1,256,100000,-5-2\n");
  EXPECT_EQ(cores(tree, four), 2);
  // Lists that contradict each other: CPU 1 clears the visited CPU 0, and the walk ends once
  // the CPUs visited (0 and 1) reach the count left (1 and 3), before CPU 3 would clear 1.
  tree.write(cpuFile(0, kCore), "0\n");
  tree.write(cpuFile(1, kCore), "0,2\n");
  tree.write(cpuFile(3, kCore), "1,3\n");
  EXPECT_EQ(cores(tree, four), 2);
}

TEST(TopologyGroups, MissingOrEmptyFilesCountEachCpuAlone) {
  SysfsTree tree;
  FakeAffinity six{cpuRange(2, 7)};
  for (const char* suffix : {kCore, kDie, kPackage}) {
    EXPECT_EQ(countTopologyGroups(tree.root(), suffix, std::ref(six)), 6) << suffix;
  }
  // An empty file and a directory where the file should be both read as missing.
  tree.write(cpuFile(2, kPackage), "");
  tree.write(cpuFile(3, kPackage) + "/x", "");
  tree.write(cpuFile(4, kPackage), "4-7");
  EXPECT_EQ(countTopologyGroups(tree.root(), kPackage, std::ref(six)), 3);
}

TEST(TopologyGroups, EmptyMaskGivesZero) {
  SysfsTree tree;
  FakeAffinity none{std::vector<int>{}};
  EXPECT_EQ(countCpus(std::ref(none)), 0);
  EXPECT_EQ(cores(tree, none), 0);
}

TEST(AffinityMask, GrowsByDoublingUntilTheKernelAcceptsIt) {
  SysfsTree tree;
  tree.write(cpuFile(0, kCore), "0,700\n");
  FakeAffinity wide{{0, 700, 701}, 128};  // a kernel with a 1024-bit CPU mask
  EXPECT_EQ(countCpus(std::ref(wide)), 3);
  EXPECT_EQ(wide.requestedBytes, (std::vector<std::size_t>{32, 64, 128}));
  EXPECT_EQ(cores(tree, wide), 2);
}

TEST(AffinityMask, FailureAtEverySizeGivesOne) {
  SysfsTree tree;
  FakeAffinity broken{cpuRange(0, 3), 32, true};
  EXPECT_EQ(countCpus(std::ref(broken)), 1);
  std::vector<std::size_t> sizes;
  for (std::size_t bytes = 32; bytes <= (std::size_t{1} << 20); bytes *= 2) sizes.push_back(bytes);
  EXPECT_EQ(broken.requestedBytes, sizes);  // 16 sizes, 32 bytes to 1 MiB
  for (const char* suffix : {kCore, kDie, kPackage}) {
    EXPECT_EQ(countTopologyGroups(tree.root(), suffix, std::ref(broken)), 1) << suffix;
  }
}

TEST(AffinityMask, AbsurdRangesCostOnlyTheSetSize) {
  SysfsTree tree;
  // The largest set (2^23 bits); ranges spanning all of int are cut to it, not expanded.
  FakeAffinity huge{{0, 5, (1 << 23) - 1}, std::size_t{1} << 20};
  tree.write(cpuFile(0, kCore), "-2147483648-2147483647,0-2147483647,0-2147483647\n");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(cores(tree, huge), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// An independent reading of a tree: the number of distinct list texts among the CPUs of the mask
// (a CPU without the file is a group of its own). Equal to the group count when the lists agree.
int distinctLists(const std::string& root, const char* suffix, const std::vector<int>& cpus) {
  std::set<std::string> groups;
  for (int cpu : cpus) {
    std::ifstream in(root + "/" + cpuFile(cpu, suffix));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    groups.insert(text.empty() ? "alone " + cpuFile(cpu, "") : text);
  }
  return static_cast<int>(groups.size());
}

struct RealTree {
  const char* name;
  std::vector<int> cpus;
  int cores, dies, packages;
};

TEST(RealTrees, CountsWithAllOnlineCpus) {
  auto concat = [](std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const RealTree trees[] = {
      {"128arm-2pa2n8cluster4co", cpuRange(0, 127), 128, 128, 2},
      {"20em64t-hybrid-1p6c2t+2ca4co1t", cpuRange(0, 19), 14, 1, 1},
      {"fakecpuid1f-64intel64-2p4d2n2c2t", cpuRange(0, 63), 32, 8, 4},
      {"8ia64-2s2c2t", cpuRange(0, 7), 8, 8, 8},
      {"nvidiagpunumanodes", concat(cpuRange(0, 15), cpuRange(88, 103)), 32, 32, 32},
  };
  for (const RealTree& tree : trees) {
    SCOPED_TRACE(tree.name);
    const std::string root = std::string(TOV_TEST_DATA_DIR) + "/sysfs/" + tree.name;
    FakeAffinity online{tree.cpus};
    EXPECT_EQ(countCpus(std::ref(online)), static_cast<int>(tree.cpus.size()));
    EXPECT_EQ(countTopologyGroups(root, kCore, std::ref(online)), tree.cores);
    EXPECT_EQ(countTopologyGroups(root, kDie, std::ref(online)), tree.dies);
    EXPECT_EQ(countTopologyGroups(root, kPackage, std::ref(online)), tree.packages);
    EXPECT_EQ(distinctLists(root, kCore, tree.cpus), tree.cores);
    EXPECT_EQ(distinctLists(root, kDie, tree.cpus), tree.dies);
    EXPECT_EQ(distinctLists(root, kPackage, tree.cpus), tree.packages);
  }
}

TEST(RealTrees, NarrowedMasks) {
  const std::string data = std::string(TOV_TEST_DATA_DIR) + "/sysfs/";
  // One P-core with both threads and the four E-cores of one module.
  FakeAffinity hybrid{{0, 1, 12, 13, 14, 15}};
  EXPECT_EQ(countTopologyGroups(data + "20em64t-hybrid-1p6c2t+2ca4co1t", kCore, std::ref(hybrid)),
            5);
  // CPUs 4-11 span the second half of die 0 and the first half of die 1 of package 0.
  FakeAffinity straddle{cpuRange(4, 11)};
  const std::string emulated = data + "fakecpuid1f-64intel64-2p4d2n2c2t";
  EXPECT_EQ(countTopologyGroups(emulated, kCore, std::ref(straddle)), 4);
  EXPECT_EQ(countTopologyGroups(emulated, kDie, std::ref(straddle)), 2);
  EXPECT_EQ(countTopologyGroups(emulated, kPackage, std::ref(straddle)), 1);
}

std::vector<int> threadCpus() {
  cpu_set_t set;
  CPU_ZERO(&set);
  std::vector<int> cpus;
  if (sched_getaffinity(0, sizeof set, &set) != 0) return cpus;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &set)) cpus.push_back(cpu);
  }
  return cpus;
}

TEST(ThisMachine, CountsFollowTheThreadsAffinity) {
  const std::vector<int> cpus = threadCpus();
  ASSERT_FALSE(cpus.empty());
  EXPECT_EQ(tov::detectCpus(), static_cast<int>(cpus.size()));
  const std::string root(tov::detail::kSysfsCpuRoot);
  EXPECT_EQ(tov::detectCores(), distinctLists(root, kCore, cpus));
  EXPECT_EQ(tov::detectDies(), distinctLists(root, kDie, cpus));
  EXPECT_EQ(tov::detectPackages(), distinctLists(root, kPackage, cpus));

  // A thread of its own narrows its mask to one CPU, leaving the test thread's mask alone.
  int narrowed[4] = {-1, -1, -1, -1};
  std::thread([&narrowed, cpu = cpus.back()] {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0) return;
    narrowed[0] = tov::detectCpus();
    narrowed[1] = tov::detectCores();
    narrowed[2] = tov::detectDies();
    narrowed[3] = tov::detectPackages();
  }).join();
  EXPECT_EQ(narrowed[0], 1);
  EXPECT_EQ(narrowed[1], 1);
  EXPECT_EQ(narrowed[2], 1);
  EXPECT_EQ(narrowed[3], 1);
  EXPECT_EQ(tov::detectCpus(), static_cast<int>(cpus.size()));
}

}  // namespace
