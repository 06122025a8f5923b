// A fresh directory under the temporary directory for the files a test lays out (a sysfs tree, a
// process's cgroup files), removed with its content at the end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tov::test {

struct FileTree {
  FileTree() : root((std::filesystem::temp_directory_path() / "tov_tree_XXXXXX").string()) {
    if (mkdtemp(root.data()) == nullptr) throw std::runtime_error("mkdtemp " + root);
  }
  ~FileTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
  }
  FileTree(const FileTree&) = delete;
  FileTree& operator=(const FileTree&) = delete;

  // Writes root/relative, creating the directories on the way.
  void write(const std::string& relative, std::string_view content) const {
    const std::filesystem::path path = std::filesystem::path(root) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }

  std::string root;
};

}  // namespace tov::test
