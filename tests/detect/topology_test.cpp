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

std::string coreList(int cpu) { return "cpu" + std::to_string(cpu) + kCoreLists[0]; }

int cores(const tov::test::FileTree& tree, std::vector<int> cpus) {
  return countTopologyGroups(tree.root, kCoreLists, fakeAffinity(std::move(cpus)));
}

// The walk's rules on hand-written lists are rows of made-up-core-lists.expected; here the masks
// that no file describes. No mask at any size: 1. Absurd ranges cost no more than the set's
// size, here 2^23 bits.
TEST(TopologyGroups, EmptyMissingAndLargestMasks) {
  tov::test::FileTree tree;
  EXPECT_EQ(cores(tree, {}), 0);
  EXPECT_EQ(countTopologyGroups(tree.root, kCoreLists, fakeAffinity({0}, SIZE_MAX)), 1);
  EXPECT_EQ(countCpus(fakeAffinity({0}, SIZE_MAX)), 1);
  tree.write(coreList(0), "-2147483648-2147483647,0-2147483647,0-2147483647\n");
  const auto start = std::chrono::steady_clock::now();
  const auto largest = fakeAffinity({0, 5, (1 << 23) - 1}, std::size_t{1} << 20);
  EXPECT_EQ(countTopologyGroups(tree.root, kCoreLists, largest), 1);
  EXPECT_EQ(countCpus(largest), 3);  // the largest set is tried too
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
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
