// Test support for the detection suite: synthetic sysfs trees in a temporary directory and a
// stand-in for the kernel's affinity call.
#pragma once

#include <sched.h>
#include <stdlib.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tov::test {

// A fresh directory under the temporary directory, removed with its content at the end.
class SysfsTree {
 public:
  SysfsTree() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tov_sysfs_XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) root_ = pattern;
  }
  ~SysfsTree() {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
  }
  SysfsTree(const SysfsTree&) = delete;
  SysfsTree& operator=(const SysfsTree&) = delete;

  const std::string& root() const { return root_; }

  // Writes root/relative, creating the directories on the way.
  void write(const std::string& relative, std::string_view content) const {
    const std::filesystem::path path = std::filesystem::path(root_) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }

 private:
  std::string root_;
};

// Stands in for sched_getaffinity: fails (-1) for a buffer smaller than `minimumBytes`, as the
// kernel does for one shorter than its CPU mask, or always when `alwaysFail`; otherwise sets the
// bits of `cpus`. Records the sizes it was asked for.
struct FakeAffinity {
  explicit FakeAffinity(std::vector<int> cpusIn, std::size_t minimumBytesIn = 32,
                        bool alwaysFailIn = false)
      : cpus(std::move(cpusIn)), minimumBytes(minimumBytesIn), alwaysFail(alwaysFailIn) {}

  int operator()(std::size_t bytes, cpu_set_t* set) {
    requestedBytes.push_back(bytes);
    if (alwaysFail || bytes < minimumBytes) return -1;
    for (int cpu : cpus) CPU_SET_S(static_cast<std::size_t>(cpu), bytes, set);
    return 0;
  }

  std::vector<int> cpus;
  std::size_t minimumBytes;
  bool alwaysFail;
  std::vector<std::size_t> requestedBytes;
};

// The files of a cache index directory, in the order the tests give their contents.
inline constexpr const char* kCacheFiles[] = {"type",
                                              "level",
                                              "size",
                                              "shared_cpu_list",
                                              "coherency_line_size",
                                              "number_of_sets",
                                              "ways_of_associativity"};

// CPUs first..last, both included.
inline std::vector<int> cpuRange(int first, int last) {
  std::vector<int> cpus;
  for (int cpu = first; cpu <= last; ++cpu) cpus.push_back(cpu);
  return cpus;
}

}  // namespace tov::test
