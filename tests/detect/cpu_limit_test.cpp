// CPU limits of control groups: synthetic /proc/self files and cgroup trees, and a child process
// in a real cgroup where this machine allows one to be made.
#include "detect/cpu_limit.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include "file_tree.hpp"
#include "tov/detect.hpp"

namespace {

const std::string kV2 = "40 30 0:37 / /cg rw,relatime shared:9 - cgroup2 cgroup2 rw\n";
const std::string kV1 = "31 30 0:28 / /cpu rw,relatime - cgroup cgroup rw,cpu,cpuacct\n";

// Files below the file-system root as "path=content;...", each content closed by a line feed.
std::optional<int> limitOf(const std::string& cgroup, const std::string& mountinfo,
                           const std::string& files) {
  tov::test::FileTree tree;
  tree.write("proc/cgroup", cgroup);
  tree.write("proc/mountinfo", mountinfo);
  std::istringstream list(files);
  for (std::string file; std::getline(list, file, ';');) {
    const std::size_t equals = file.find('=');
    tree.write(file.substr(0, equals), file.substr(equals + 1) + "\n");
  }
  return tov::detail::cgroupCpuLimit(tree.root + "/proc", tree.root);
}

// v1 files of the cgroup directory `dir`: a quota per period of 100 ms.
std::string v1(const std::string& dir, const char* quota) {
  return dir + "/cpu.cfs_quota_us=" + quota + ";" + dir + "/cpu.cfs_period_us=100000;";
}

TEST(CgroupCpuLimit, TightestLimitOfTheCgroupAndItsAncestorsWithinTheMount) {
  const std::pair<const char*, std::optional<int>> v2Cases[] = {
      {"cg/a/b/cpu.max=150000 100000", 2},
      {"cg/a/b/cpu.max=20000 100000", 1},  // below one period
      {"cg/a/b/cpu.max=max 100000", std::nullopt},
      {"cg/a/b/cpu.max=400000 100000;cg/a/cpu.max=150000 100000;cg/cpu.max=300000 100000", 2},
      {"cg/a/b/cpu.max=150000;cg/a/cpu.max=1 0;cg/cpu.max=-5 1", std::nullopt},  // malformed
  };
  for (const auto& [files, cpus] : v2Cases) {
    EXPECT_EQ(limitOf("0::/a/b\n", kV2, files), cpus) << files;
  }
  // v1: -1 is no limit, the parent's limit applies; with the cpu and cpuacct controllers
  // mounted apart, only the hierarchy of "cpu" itself counts.
  EXPECT_EQ(limitOf("5:memory:/x\n4:cpu,cpuacct:/x/y\n", kV1,
                    v1("cpu/x/y", "-1") + v1("cpu/x", "250000")),
            3);
  EXPECT_EQ(limitOf("2:cpuacct:/x\n1:cpu:/y\n",
                    "32 30 0:29 / /acct rw - cgroup cgroup rw,cpuacct\n"
                    "31 30 0:28 / /cpu rw - cgroup cgroup rw,cpu\n",
                    v1("acct/y", "100000") + v1("cpu/x", "100000") + v1("cpu/y", "300000")),
            3);
  // Both hierarchies limited (the cpu controller moved between them).
  EXPECT_EQ(limitOf("1:cpu:/\n0::/\n", kV2 + kV1, v1("cpu", "200000") + "cg/cpu.max=300000 1"), 2);
}

TEST(CgroupCpuLimit, MountsMapTheCgroupPath) {
  // In a container the mount's root is often the container's cgroup; what lies above it is out
  // of sight. A cgroup namespace shows the path as "/".
  const std::string pod = "40 30 0:37 /pods/p1 /cg rw - cgroup2 cgroup2 rw\n";
  EXPECT_EQ(limitOf("0::/pods/p1\n", pod, "cg/cpu.max=200000 100000;cpu.max=100000 100000"), 2);
  EXPECT_EQ(limitOf("0::/\n", kV2, "cg/cpu.max=200000 100000"), 2);
  EXPECT_EQ(limitOf("0::/pods/p10\n", pod, "cg/cpu.max=1 1;cg/0/cpu.max=1 1"), std::nullopt);
  EXPECT_EQ(limitOf("0::/../x\n", kV2, "cg/cpu.max=max 1;x/cpu.max=1 1"), std::nullopt);
  EXPECT_EQ(limitOf("0::/a\n", "40 30 0:37 / /c\\040g rw - cgroup2 cgroup2 rw\n",
                    "c g/a/cpu.max=200000 100000"),
            2);
}

// A container whose cpuset allows fewer CPUs than its quota gets the cpuset's count; a quota
// below the cpuset lowers it; an empty mask still gives 1.
TEST(AvailableCpus, TheAffinityMaskAndTheQuotaBothBound) {
  const struct {
    int maskCpus;
    const char* cpuMax;
    int available;
  } rows[] = {
      {2, "400000 100000", 2}, {4, "150000 100000", 2}, {3, "max 100000", 3}, {0, "max 100000", 1}};
  for (const auto& row : rows) {
    tov::test::FileTree tree;
    tree.write("proc/cgroup", "0::/a\n");
    tree.write("proc/mountinfo", kV2);
    tree.write("cg/a/cpu.max", std::string(row.cpuMax) + "\n");
    const auto mask = [&row](std::size_t bytes, cpu_set_t* set) {
      for (int cpu = 0; cpu < row.maskCpus; ++cpu)
        CPU_SET_S(static_cast<std::size_t>(cpu), bytes, set);
      return 0;
    };
    EXPECT_EQ(tov::detail::availableCpus(mask, tree.root + "/proc", tree.root), row.available)
        << row.maskCpus << " CPUs, " << row.cpuMax;
  }
}

bool put(const std::string& path, const char* text) {
  std::ofstream file(path);
  file << text << std::flush;
  return file.good();
}

// A child process moved into a cgroup of its own, limited to 1.5 CPUs, has 2 CPUs available, and
// 1 once the limit is lowered to 0.5. The test makes the cgroup at the root of the hierarchy and
// removes it; no existing cgroup changes.
TEST(AvailableCpus, ChildProcessInALimitedCgroup) {
  const std::optional<int> ownLimit = tov::detail::cgroupCpuLimit(tov::detail::kProcSelf, "");
  if (ownLimit && *ownLimit < tov::detectCpus()) GTEST_SKIP() << "this process is limited";
  EXPECT_EQ(tov::detectAvailableCpus(), tov::detectCpus());
  if (tov::detectCpus() < 2) GTEST_SKIP() << "one CPU cannot tell a limit of 1.5 from 0.5";
  const bool onV1 = std::filesystem::exists("/sys/fs/cgroup/cpu/cpu.cfs_quota_us");
  const std::string cgroup = (onV1 ? "/sys/fs/cgroup/cpu" : "/sys/fs/cgroup") +
                             std::string("/tov_limit_test_") + std::to_string(getpid());
  // The quota in microseconds per period; the period stays at its default of 100 ms.
  const std::string quota = cgroup + (onV1 ? "/cpu.cfs_quota_us" : "/cpu.max");
  if (mkdir(cgroup.c_str(), 0755) != 0) GTEST_SKIP() << "cannot make " << cgroup;
  int status = -1;
  if (put(quota, "150000")) {
    const pid_t pid = fork();
    if (pid == 0) {
      if (!put(cgroup + "/cgroup.procs", "0")) _exit(100);
      const int wide = tov::detectAvailableCpus();
      _exit(put(quota, "50000") ? wide * 10 + tov::detectAvailableCpus() : 101);
    }
    waitpid(pid, &status, 0);
  }
  EXPECT_EQ(rmdir(cgroup.c_str()), 0) << cgroup;
  if (status == -1) GTEST_SKIP() << "cannot set a CPU limit on " << cgroup;
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 21);  // 2 under 1.5 CPUs, then 1 under 0.5
}

}  // namespace
