// The detection functions on the machine running the tests: their counts for the thread's mask,
// and the files they leave open.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <thread>
#include <vector>

#include "detect/data_cache.hpp"
#include "detect/topology.hpp"

namespace {

TEST(ThisMachine, CountsFollowTheThreadsAffinity) {
  cpu_set_t set;
  ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
  EXPECT_EQ(tov::detectCpus(), CPU_COUNT(&set));
  // Each level groups the one below it (the real trees check the exact counts).
  const int cpus = tov::detectCpus(), cores = tov::detectCores(), dies = tov::detectDies();
  EXPECT_TRUE(1 <= tov::detectPackages() && tov::detectPackages() <= dies && dies <= cores &&
              cores <= cpus);
  // A thread of its own narrows its mask to one CPU; the test thread's mask stays as it is.
  std::vector<int> narrowed;
  std::thread([&, cpu = sched_getcpu()] {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0) return;
    narrowed = {tov::detectCpus(), tov::detectAvailableCpus(), tov::detectCores(),
                tov::detectDies(), tov::detectPackages()};
  }).join();
  EXPECT_EQ(narrowed, (std::vector<int>{1, 1, 1, 1, 1}));
  EXPECT_EQ(tov::detectCpus(), CPU_COUNT(&set));
}

// Recorded trees take the readers through files this machine may lack (cache directories, the
// lists of older kernels); detectAvailableCpus reads this process's cgroup files.
TEST(ThisMachine, DetectionClosesEveryFileItOpens) {
  const auto openFiles = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
  };
  const std::string data = std::string(TOV_TEST_DATA_DIR) + "/sysfs/";
  const auto eightCpus = [](std::size_t bytes, cpu_set_t* set) {
    for (std::size_t cpu = 0; cpu < 8; ++cpu) CPU_SET_S(cpu, bytes, set);
    return 0;
  };
  const auto callAll = [&] {
    return tov::detectCpus() + tov::detectAvailableCpus() + tov::detectCores() + tov::detectDies() +
           tov::detectPackages() + tov::detectDataCache(INT_MAX).size +
           tov::detail::describeDataCache(data + "20em64t-hybrid-1p6c2t+2ca4co1t", 12, 4).size +
           tov::detail::countTopologyGroups(data + "8ia64-2s2c2t", tov::detail::kDieLists,
                                            eightCpus);
  };
  const auto first = callAll();
  const auto before = openFiles();
  for (int call = 0; call < 100; ++call) ASSERT_EQ(callAll(), first);
  EXPECT_EQ(openFiles(), before);
}

}  // namespace
