// Reading the kernel's CPU description under /sys/devices/system/cpu.
#pragma once

#include <string>
#include <string_view>

namespace tov::detail {

// Where the kernel publishes one directory per logical CPU. Internal functions take this root as
// a parameter so that tests can point them at a tree of their own.
inline constexpr std::string_view kSysfsCpuRoot = "/sys/devices/system/cpu";

// The whole content of the file at `path`, byte for byte (trailing line feed included), or an
// empty string when it cannot be opened or read. Callers treat empty as missing.
std::string readFile(const char* path);

// root + "/cpu" + cpu in decimal, e.g. "/sys/devices/system/cpu/cpu12".
std::string cpuDirectory(std::string_view root, int cpu);

}  // namespace tov::detail
