// Data caches from CPUID: the words of real processors and made-up ones in tests/data/cpuid (each
// file with the caches it must give), the kernel's facts from /proc/cpuinfo, and when the
// fallback applies.
#include "detect/cpuid_cache.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "detect/cpu_facts.hpp"
#include "detect/data_cache.hpp"
#include "file_tree.hpp"

namespace {

using tov::CacheInfo;
using tov::detail::CpuFacts;
using tov::detail::CpuidRegs;

// Recorded words by (leaf, subleaf). An unrecorded leaf answers as Intel processors do above
// their highest leaf, with the words of the highest basic one, so that a decoder reading a leaf
// without checking the maximum meets garbage; an unrecorded subleaf answers zeros.
struct RecordedCpu {
  std::map<std::pair<std::uint32_t, std::uint32_t>, CpuidRegs> words;
  CpuidRegs operator()(std::uint32_t leaf, std::uint32_t subleaf) const {
    if (const auto found = words.find({leaf, subleaf}); found != words.end()) return found->second;
    for (auto it = words.rbegin(); it != words.rend(); ++it) {
      if (it->first.first < 0x80000000 && it->first.first != leaf) return it->second;
    }
    return {};
  }
};

struct RecordedPu {
  int pu = 0;
  RecordedCpu cpuid;
  std::map<int, std::string> expected;  // level -> "size_kib N line N ways N sharing N"
};

struct Fixture {
  std::vector<RecordedPu> pus;
  CpuFacts facts;  // APIC IDs from an `apicids` line, or only `online` CPUs
};

Fixture readFixture(const std::filesystem::path& path) {
  Fixture fixture;
  std::map<int, std::string> replaced;  // levels of `decodes` lines, which win over `expect`
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    std::istringstream fields(line);
    std::string kind, level, type, rest;
    fields >> kind;
    if (kind == "pu") {
      fixture.pus.emplace_back();
      fields >> fixture.pus.back().pu;
      replaced.clear();
    } else if (kind == "cpuid") {
      std::uint32_t leaf = 0, subleaf = 0;
      CpuidRegs regs;
      fields >> std::hex >> leaf >> subleaf >> regs.eax >> regs.ebx >> regs.ecx >> regs.edx;
      fixture.pus.back().cpuid.words[{leaf, subleaf}] = regs;
    } else if (kind == "expect" || kind == "decodes") {
      fields >> level >> type >> std::ws;
      std::getline(fields, rest);
      const int number = std::stoi(level.substr(1));
      if (kind == "decodes") replaced[number] = rest;
      fixture.pus.back().expected[number] = replaced.count(number) ? replaced[number] : rest;
    } else if (kind == "apicids") {
      for (std::uint32_t id = 0; fields >> id;) fixture.facts.apicIds.push_back(id);
      fixture.facts.onlineCpus = static_cast<int>(fixture.facts.apicIds.size());
    } else if (kind == "online") {
      fields >> fixture.facts.onlineCpus;
    }
  }
  return fixture;
}

std::string fields(const CacheInfo& info) {
  return "size_kib " + std::to_string(info.size) + " line " + std::to_string(info.lineSize) +
         " ways " + std::to_string(info.ways) + " sharing " + std::to_string(info.sharedCpus);
}

// Each PU of each file at levels 0 to 4: the cache of the deepest level at or below the one asked
// for, zeros where there is none. Vendors, leaf choices, maximum leaves, the legacy codes, the
// family gate of the legacy L3, the APIC-ID sharing count and implausible words all show here.
TEST(CpuidCache, RecordedAndMadeUpProcessorsDecodeToTheirCaches) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TOV_TEST_DATA_DIR "/cpuid")) {
    if (entry.path().extension() != ".txt") continue;
    ++files;
    Fixture fixture = readFixture(entry.path());
    ASSERT_FALSE(fixture.pus.empty()) << entry.path();
    for (const RecordedPu& pu : fixture.pus) {
      if (!fixture.facts.apicIds.empty()) fixture.facts.apicId = fixture.facts.apicIds.at(pu.pu);
      for (int level = 0; level <= 4; ++level) {
        const auto below = pu.expected.upper_bound(level);
        const std::string expected =
            below == pu.expected.begin() ? fields(CacheInfo{}) : std::prev(below)->second;
        const CacheInfo info = tov::detail::decodeCpuidCache(pu.cpuid, fixture.facts, level);
        EXPECT_EQ(fields(info), expected)
            << entry.path().filename() << " pu " << pu.pu << " L" << level;
        // Sets follow from the other fields (rounded down: a 48-way 5 MiB L3 has 1706.7).
        if (info.ways != 0) {
          EXPECT_EQ(info.sets, info.size * 1024ull / (info.ways * info.lineSize));
        }
      }
    }
  }
  EXPECT_GE(files, 16);
}

TEST(CpuidCache, CpuinfoGivesOnlineCpusAndApicIdsWhenEveryCpuStatesOne) {
  const struct {
    const char* text;
    int cpu, online;
    std::optional<std::uint32_t> apicId;
    std::size_t apicIds;
  } rows[] = {
      {"processor\t: 0\napicid\t\t: 4\ninitial apicid\t: 9\n\nprocessor\t: 1\napicid\t: 6\n", 1, 2,
       6, 2},
      {"processor : 0\napicid : 4\nprocessor : 1\n", 0, 2, std::nullopt, 0},  // CPU 1 states none
      {"processor : 0\napicid : 4x\n", 0, 1, std::nullopt, 0},
      {"processor : 0\napicid : 4\n", 3, 1, std::nullopt, 1},  // no block of CPU 3
      {"", 0, 1, std::nullopt, 0},
  };
  for (const auto& row : rows) {
    const CpuFacts facts = tov::detail::parseCpuinfo(row.text, row.cpu);
    EXPECT_EQ(facts.onlineCpus, row.online) << row.text;
    EXPECT_EQ(facts.apicId, row.apicId) << row.text;
    EXPECT_EQ(facts.apicIds.size(), row.apicIds) << row.text;
  }
}

// A cache directory, even an empty one, keeps CPUID out; without one, every x86-64 processor
// describes at least its L1 data cache through CPUID. The trees have a directory for every CPU
// this thread may run on.
TEST(CpuidCache, TheFallbackAppliesOnlyWithoutACacheDirectory) {
  using tov::detail::CacheSource;
  tov::test::FileTree withDirectory, without;
  for (long cpu = 0; cpu < sysconf(_SC_NPROCESSORS_CONF); ++cpu) {
    const std::string dir = "cpu" + std::to_string(cpu);
    without.write(dir + "/topology/core_cpus_list", std::to_string(cpu) + "\n");
    withDirectory.write(dir + "/cache/uevent", "");
  }
  const auto empty = tov::detail::findDataCache(withDirectory.root, "/proc/cpuinfo", 1);
  EXPECT_EQ(empty.source, CacheSource::sysfs);
  EXPECT_EQ(fields(empty.info), fields(CacheInfo{}));
  const auto fallback = tov::detail::findDataCache(without.root, "/proc/cpuinfo", 1);
  EXPECT_EQ(fallback.source, CacheSource::cpuid);
  EXPECT_GE(fallback.info.size, 16u);
  EXPECT_EQ(tov::detail::findDataCache(without.root, "/proc/cpuinfo", 0).source, CacheSource::none);
}

}  // namespace
