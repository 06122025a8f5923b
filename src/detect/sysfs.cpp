#include "detect/sysfs.hpp"

#include <fstream>
#include <sstream>

#include "text/decimal.hpp"

namespace tov::detail {

std::string readFile(const char* path) {
  std::ifstream in(path);
  if (!in.is_open()) return {};
  // A read error (a directory opened by mistake, an attribute the driver refuses) sets failbit on
  // `content` instead of escaping: whatever was read before it is returned.
  std::ostringstream content;
  content << in.rdbuf();
  return std::move(content).str();
}

std::string cpuDirectory(std::string_view root, int cpu) {
  std::string path(root);
  path += "/cpu";
  tov::text::appendDecimal(path, cpu);
  return path;
}

}  // namespace tov::detail
