// The text and words detection reads from sources it does not control: CPUID words that
// hypervisors make up, /proc/cpuinfo, and the cgroup files container runtimes write. Checks what
// holds for every input: a cache is either all zeros or plausible (a power-of-two line from 16 to
// 256 bytes, non-zero size, sets and ways, shared by 1 to the online CPUs), the APIC IDs are
// known for every CPU or for none, and a CPU limit is at least 1.
//
// Input: a level byte, then four texts each after a length byte (/proc/cpuinfo, /proc/self/cgroup,
// /proc/self/mountinfo, cpu.max of the cgroup /a mounted at /cg), then CPUID words, 16 bytes per
// (leaf, subleaf) answer.
#include <stdlib.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "detect/cpu_facts.hpp"
#include "detect/cpu_limit.hpp"
#include "detect/cpuid_cache.hpp"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

struct Bytes {
  const std::uint8_t* data;
  std::size_t size, pos = 0;
  std::string_view text() {
    const std::size_t length = pos < size ? data[pos++] : 0;
    const std::size_t taken = std::min(length, size - pos);
    const std::string_view result(reinterpret_cast<const char*>(data + pos), taken);
    pos += taken;
    return result;
  }
};

// The leaves the decoder reads; any other leaf gets some record too, as a hypervisor's echo.
constexpr std::uint32_t kLeaves[] = {0,          1,          4,          0x80000000,
                                     0x80000005, 0x80000006, 0x80000008, 0x8000001D};

struct FuzzedCpuid {
  const std::uint8_t* records;
  std::size_t count;
  tov::detail::CpuidRegs operator()(std::uint32_t leaf, std::uint32_t subleaf) const {
    if (count == 0) return {};
    const auto known = std::find(std::begin(kLeaves), std::end(kLeaves), leaf);
    const std::size_t slot = known != std::end(kLeaves)
                                 ? static_cast<std::size_t>(known - kLeaves) * 16 + subleaf % 16
                                 : leaf * 31u + subleaf;
    tov::detail::CpuidRegs regs;
    std::memcpy(&regs, records + slot % count * 16, 16);
    return regs;
  }
};

// One directory for the cgroup files of every input, removed at exit.
const std::string& scratch() {
  static const std::string root = [] {
    std::string dir = (std::filesystem::temp_directory_path() / "tov_fuzz_XXXXXX").string();
    require(mkdtemp(dir.data()) != nullptr);
    std::filesystem::create_directories(dir + "/proc");
    std::filesystem::create_directories(dir + "/cg/a");
    return dir;
  }();
  static const int cleanup = std::atexit([] { std::filesystem::remove_all(scratch()); });
  (void)cleanup;
  return root;
}

void write(const std::string& path, std::string_view text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(text.data(), text.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Bytes bytes{data, size};
  const int level = size > 0 ? static_cast<std::int8_t>(data[bytes.pos++]) : 0;
  const std::string_view cpuinfo = bytes.text();
  const std::string& root = scratch();
  write(root + "/proc/cgroup", bytes.text());
  write(root + "/proc/mountinfo", bytes.text());
  write(root + "/cg/a/cpu.max", bytes.text());

  const tov::detail::CpuFacts facts = tov::detail::parseCpuinfo(cpuinfo, level & 7);
  require(facts.onlineCpus >= 1);
  require(facts.apicIds.empty() ||
          facts.apicIds.size() == static_cast<std::size_t>(facts.onlineCpus));
  require(!facts.apicId || !facts.apicIds.empty());

  const FuzzedCpuid cpuid{data + bytes.pos, (size - bytes.pos) / 16};
  const tov::CacheInfo cache = tov::detail::decodeCpuidCache(cpuid, facts, level);
  if (cache.size != 0 || cache.lineSize != 0 || cache.sets != 0 || cache.ways != 0 ||
      cache.sharedCpus != 0) {
    require(cache.size != 0 && cache.sets != 0 && cache.ways != 0);
    require(cache.lineSize >= 16 && cache.lineSize <= 256 && std::has_single_bit(cache.lineSize));
    require(cache.sharedCpus >= 1 && cache.sharedCpus <= facts.onlineCpus);
  }

  const std::optional<int> limit = tov::detail::cgroupCpuLimit(root + "/proc", root);
  require(!limit || *limit >= 1);
  return 0;
}
