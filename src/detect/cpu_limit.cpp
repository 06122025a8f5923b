#include "detect/cpu_limit.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

#include "detect/sysfs.hpp"
#include "tov/detect.hpp"

namespace tov::detail {

namespace {

// The part of `text` before the first `separator`; `text` keeps what follows the separator, or
// nothing when there is none.
std::string_view cutField(std::string_view& text, char separator) {
  const std::size_t at = text.find(separator);
  const std::string_view field = text.substr(0, at);
  text.remove_prefix(at == std::string_view::npos ? text.size() : at + 1);
  return field;
}

// Whether the comma-separated `list` names `name`: "rw,cpu,cpuacct" names "cpu", "cpuacct" alone
// does not.
bool names(std::string_view list, std::string_view name) {
  while (!list.empty()) {
    if (cutField(list, ',') == name) return true;
  }
  return false;
}

// Whether the path goes up with a ".." component.
bool climbs(std::string_view path) {
  while (!path.empty()) {
    if (cutField(path, '/') == "..") return true;
  }
  return false;
}

// mountinfo writes a blank, tab, line feed or backslash in a path as a backslash and three octal
// digits ("\040" for a blank).
std::string unescaped(std::string_view field) {
  std::string text;
  const auto octal = [](char c) { return c >= '0' && c <= '7'; };
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) &&
        octal(field[i + 3])) {
      text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                (field[i + 3] - '0'));
      i += 3;
    } else {
      text += field[i];
    }
  }
  return text;
}

// The whole text as one decimal number, a closing line feed allowed.
std::optional<std::int64_t> wholeNumber(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// `quota` microseconds of CPU time in every `period` as whole CPUs, rounded up; nothing unless
// both are positive (v1 writes a quota of -1 for no limit).
std::optional<std::int64_t> quotaCpus(std::optional<std::int64_t> quota,
                                      std::optional<std::int64_t> period) {
  if (!quota || !period || *quota <= 0 || *period <= 0) return std::nullopt;
  return *quota / *period + (*quota % *period != 0 ? 1 : 0);
}

std::optional<std::int64_t> directoryLimit(const std::string& directory, bool v2) {
  if (v2) {
    // "max 100000" (no limit) or "150000 100000": quota, then period.
    const std::string text = readFile((directory + "/cpu.max").c_str());
    std::string_view period = text;
    const std::string_view quota = cutField(period, ' ');
    return quotaCpus(wholeNumber(quota), wholeNumber(period));
  }
  return quotaCpus(wholeNumber(readFile((directory + "/cpu.cfs_quota_us").c_str())),
                   wholeNumber(readFile((directory + "/cpu.cfs_period_us").c_str())));
}

// The tightest limit on the cgroup `path` of one hierarchy (v2, or v1 with the cpu controller)
// and its ancestors up to the root of the first mount of that hierarchy that shows the cgroup.
std::optional<std::int64_t> hierarchyLimit(std::string_view mounts, bool v2, std::string_view path,
                                           std::string_view fsRoot) {
  if (path.empty() || path[0] != '/' || climbs(path)) return std::nullopt;
  while (!mounts.empty()) {
    // "36 35 0:28 ROOT MOUNT-POINT OPTIONS [OPTIONAL FIELDS] - TYPE SOURCE SUPER-OPTIONS"
    std::string_view line = cutField(mounts, '\n');
    for (int skipped = 0; skipped < 3; ++skipped) cutField(line, ' ');
    const std::string root = unescaped(cutField(line, ' '));
    const std::string mountPoint = unescaped(cutField(line, ' '));
    const std::size_t dash = line.find(" - ");
    if (dash == std::string_view::npos) continue;
    line.remove_prefix(dash + 3);
    const std::string_view type = cutField(line, ' ');
    cutField(line, ' ');
    if (v2 ? type != "cgroup2" : type != "cgroup" || !names(line, "cpu")) continue;
    // The mount shows the cgroup at its root and below: inside a container the mount's root is
    // often the container's own cgroup, and with a cgroup namespace the path itself reads "/".
    std::string_view below = path;
    if (root != "/") {
      if (!below.starts_with(root) || (below.size() > root.size() && below[root.size()] != '/')) {
        continue;
      }
      below.remove_prefix(root.size());
    }
    while (!below.empty() && below.back() == '/') below.remove_suffix(1);
    std::string directory(fsRoot);
    directory += mountPoint;
    const std::size_t mountLength = directory.size();
    directory += below;
    std::optional<std::int64_t> tightest;
    for (;;) {
      const std::optional<std::int64_t> limit = directoryLimit(directory, v2);
      if (limit && (!tightest || *limit < *tightest)) tightest = limit;
      if (directory.size() <= mountLength) return tightest;
      directory.resize(directory.rfind('/'));
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<int> cgroupCpuLimit(std::string_view procSelf, std::string_view fsRoot) {
  const std::string cgroups = readFile((std::string(procSelf) + "/cgroup").c_str());
  const std::string mounts = readFile((std::string(procSelf) + "/mountinfo").c_str());
  std::optional<std::int64_t> tightest;
  std::string_view lines = cgroups;
  while (!lines.empty()) {
    // "0::/PATH" for the v2 hierarchy, "4:cpu,cpuacct:/PATH" for a v1 one.
    std::string_view path = cutField(lines, '\n');
    const std::string_view id = cutField(path, ':');
    const std::string_view controllers = cutField(path, ':');
    const bool v2 = id == "0" && controllers.empty();
    if (!v2 && !names(controllers, "cpu")) continue;
    const std::optional<std::int64_t> limit = hierarchyLimit(mounts, v2, path, fsRoot);
    if (limit && (!tightest || *limit < *tightest)) tightest = limit;
  }
  if (!tightest) return std::nullopt;
  return static_cast<int>(std::min<std::int64_t>(*tightest, std::numeric_limits<int>::max()));
}

int availableCpus(const AffinitySource& affinity, std::string_view procSelf,
                  std::string_view fsRoot) {
  const int cpus = countCpus(affinity);
  const std::optional<int> limit = cgroupCpuLimit(procSelf, fsRoot);
  return std::max(1, limit ? std::min(cpus, *limit) : cpus);
}

}  // namespace tov::detail

namespace tov {

int detectAvailableCpus() {
  return detail::availableCpus(detail::threadAffinity, detail::kProcSelf, "");
}

}  // namespace tov
