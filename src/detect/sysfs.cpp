#include "detect/sysfs.hpp"

#include <charconv>
#include <fstream>
#include <sstream>

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

void appendDecimal(std::string& text, long long value) {
  char digits[24];  // 19 digits and a sign for any 64-bit value
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, result.ptr);
}

std::string cpuDirectory(std::string_view root, int cpu) {
  std::string path(root);
  path += "/cpu";
  appendDecimal(path, cpu);
  return path;
}

}  // namespace tov::detail
