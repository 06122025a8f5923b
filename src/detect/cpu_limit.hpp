// The CPU bandwidth limit of the calling process's control groups: what a container's CPU limit
// sets (cgroup v2 cpu.max, or cpu.cfs_quota_us / cpu.cfs_period_us of the cgroup v1 cpu
// controller). The affinity mask of such a process still holds every CPU of the machine.
#pragma once

#include <optional>
#include <string_view>

#include "detect/topology.hpp"

namespace tov::detail {

// The process's own cgroup membership ("cgroup") and mount table ("mountinfo").
inline constexpr std::string_view kProcSelf = "/proc/self";

// The tightest limit among the process's cgroup and its ancestors up to the root of the mount, in
// each hierarchy that carries one (the v2 hierarchy and the v1 cpu controller, when mounted), as
// whole CPUs rounded up: a quota of 1.5 periods gives 2, one below a period gives 1. Nothing when
// no cgroup has a limit. A missing, unreadable or malformed file, a cgroup that lies outside the
// mount's root, and a path that climbs with ".." count as no limit.
//
// `procSelf` is the directory of the two files above; `fsRoot` is put before every mount point
// (empty for the real file system), so that tests can describe a machine in a directory of their
// own.
std::optional<int> cgroupCpuLimit(std::string_view procSelf, std::string_view fsRoot);

// detectAvailableCpus with its sources as parameters: the CPUs of `affinity`, lowered to the
// cgroup limit, never below 1. A limit above the mask leaves the mask's count.
int availableCpus(const AffinitySource& affinity, std::string_view procSelf,
                  std::string_view fsRoot);

}  // namespace tov::detail
