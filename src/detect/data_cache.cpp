#include "detect/data_cache.hpp"

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>
#include <system_error>

#include "cpu/cpuid.hpp"
#include "detect/cpu_facts.hpp"
#include "detect/cpu_list.hpp"
#include "detect/sysfs.hpp"
#include "text/decimal.hpp"

namespace tov::detail {

namespace {

// A bound on the work of one call, not a kernel limit: processors publish 3 to 6 indexes (L1
// data and instruction, L2, L3, at times a separate L2 instruction cache or an L4), and the scan
// ends at the first missing one anyway. The bound keeps a tree that is not the kernel's (an
// index directory for every number) from making a call read without end.
constexpr int kMaxCacheIndexes = 40;

// Fields of an entry that publishes no file for them. 64-byte lines are what every x86-64
// processor and nearly every arm64 one has; sets and ways have no plausible guess, so 0 says
// "unknown".
constexpr std::uint32_t kDefaultLineSize = 64;
constexpr std::uint32_t kUnknown = 0;

// The decimal number at the very start of `text` (a unit suffix such as the K of "48K" and the
// line feed are ignored); nothing when there is no digit there or the value does not fit.
template <typename Number>
std::optional<Number> leadingNumber(const std::string& text) {
  Number value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{}) return std::nullopt;
  return value;
}

// A missing or empty file gives `fallback`; a file that does not start with a number leaves the
// field as an earlier entry wrote it.
void readField(const std::string& text, std::uint32_t fallback, std::uint32_t& field) {
  if (text.empty()) {
    field = fallback;
  } else if (const std::optional<std::uint32_t> value = leadingNumber<std::uint32_t>(text)) {
    field = *value;
  }
}

}  // namespace

std::uint32_t defaultCacheSize(int level) {
  constexpr int kWidestLevel = 26;  // 32 << 26 = 2^31 KiB, the last that fits in 32 bits
  if (level < 0 || level > kWidestLevel) return 0;
  return std::uint32_t{32} << level;
}

CacheInfo describeDataCache(std::string_view root, int cpu, int level) {
  std::string base = cpuDirectory(root, cpu < 0 ? 0 : cpu);
  base += "/cache/index";
  CacheInfo result;
  for (int index = 0; index < kMaxCacheIndexes; ++index) {
    std::string dir = base;
    tov::text::appendDecimal(dir, index);
    const std::size_t dirLength = dir.size();
    const auto read = [&dir, dirLength](const char* name) {
      dir.resize(dirLength);
      dir += name;
      return readFile(dir.c_str());
    };

    const std::string type = read("/type");
    if (type.empty()) return result;
    // "Data", "Unified" or "Instruction": instruction caches are not data caches.
    if (type[0] != 'D' && type[0] != 'U') continue;
    const std::optional<int> entryLevel = leadingNumber<int>(read("/level"));
    if (!entryLevel || *entryLevel > level) continue;

    readField(read("/size"), defaultCacheSize(*entryLevel), result.size);
    const std::string shared = read("/shared_cpu_list");
    const int sharing = shared.empty() ? 0 : countCpuList(shared);
    // Without a list naming anyone, the cache is taken as the CPU's own.
    result.sharedCpus = sharing > 0 ? sharing : 1;
    readField(read("/coherency_line_size"), kDefaultLineSize, result.lineSize);
    readField(read("/number_of_sets"), kUnknown, result.sets);
    readField(read("/ways_of_associativity"), kUnknown, result.ways);

    if (*entryLevel == level) return result;
  }
  return result;
}

SourcedCache findDataCache(std::string_view sysfsRoot, const char* cpuinfoPath, int level) {
  // A thread that keeps moving gets the answer of its last CPU; three reads end the chase.
  constexpr int kMaxReads = 3;
  SourcedCache found;
  for (int read = 0; read < kMaxReads; ++read) {
    const int cpu = std::max(sched_getcpu(), 0);
    const std::string cacheDirectory = cpuDirectory(sysfsRoot, cpu) + "/cache";
    struct stat status {};
    if (stat(cacheDirectory.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
      return {describeDataCache(sysfsRoot, cpu, level), CacheSource::sysfs};
    }
    const std::string cpuinfo = readFile(cpuinfoPath);
    CpuFacts facts = parseCpuinfo(cpuinfo, cpu);
    if (cpuinfo.empty())
      facts.onlineCpus = static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
    const CacheInfo info = decodeCpuidCache(
        [](std::uint32_t leaf, std::uint32_t subleaf) { return readCpuid(leaf, subleaf); }, facts,
        level);
    found = {info, info.size != 0 ? CacheSource::cpuid : CacheSource::none};
    if (sched_getcpu() == cpu) break;
  }
  return found;
}

}  // namespace tov::detail

namespace tov {

CacheInfo detectDataCache(int level) {
  return detail::findDataCache(detail::kSysfsCpuRoot, detail::kProcCpuinfo, level).info;
}

std::string toString(const CacheInfo& info) {
  std::string text = "{";
  tov::text::appendDecimal(text, info.size);
  text += " KiB, ";
  tov::text::appendDecimal(text, info.sharedCpus);
  text += ", ";
  tov::text::appendDecimal(text, info.lineSize);
  text += " B, ";
  tov::text::appendDecimal(text, info.sets);
  text += ", ";
  tov::text::appendDecimal(text, info.ways);
  text += '}';
  return text;
}

}  // namespace tov
