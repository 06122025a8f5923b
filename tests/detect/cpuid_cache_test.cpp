// Data caches from CPUID: recorded words of real processors (tests/data/cpuid), words that
// hypervisors make up, the kernel's facts from /proc/cpuinfo, and when the fallback applies.
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
using tov::detail::decodeCpuidCache;

// Recorded words by (leaf, subleaf). A leaf that was not recorded answers as Intel processors
// do above their highest leaf, with the words of the highest basic leaf, so a decoder that
// reads a leaf without checking the maximum meets garbage; a missing subleaf answers zeros.
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
  std::vector<std::uint32_t> apicIds;
};

Fixture readFixture(const std::filesystem::path& path) {
  Fixture fixture;
  std::map<int, std::string> replaced;  // levels of `decodes` lines, which win over `expect`
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    std::istringstream fields(line);
    std::string kind;
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
      std::string level, type, rest;
      fields >> level >> type >> std::ws;
      std::getline(fields, rest);
      const int number = std::stoi(level.substr(1));
      if (kind == "decodes") replaced[number] = rest;
      fixture.pus.back().expected[number] = replaced.count(number) ? replaced[number] : rest;
    } else if (kind == "apicids") {
      for (std::uint32_t id = 0; fields >> id;) fixture.apicIds.push_back(id);
    }
  }
  return fixture;
}

std::string fields(const CacheInfo& info) {
  return "size_kib " + std::to_string(info.size) + " line " + std::to_string(info.lineSize) +
         " ways " + std::to_string(info.ways) + " sharing " + std::to_string(info.sharedCpus);
}

// Each PU of each file, at every level it has and one deeper (which gives its deepest cache):
// vendors, leaf choices, the legacy associativity codes, the family gate of the legacy L3 and the
// APIC-ID sharing count all show in these figures.
TEST(CpuidCache, RecordedProcessorsDecodeToTheirCaches) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TOV_TEST_DATA_DIR "/cpuid")) {
    if (entry.path().extension() != ".txt") continue;
    ++files;
    const Fixture fixture = readFixture(entry.path());
    ASSERT_FALSE(fixture.pus.empty()) << entry.path();
    for (const RecordedPu& pu : fixture.pus) {
      ASSERT_LT(static_cast<std::size_t>(pu.pu), fixture.apicIds.size()) << entry.path();
      ASSERT_FALSE(pu.expected.empty()) << entry.path();
      const CpuFacts facts{static_cast<int>(fixture.apicIds.size()), fixture.apicIds[pu.pu],
                           fixture.apicIds};
      const int deepest = pu.expected.rbegin()->first;
      for (int level = 1; level <= deepest + 1; ++level) {
        const auto expected = pu.expected.find(std::min(level, deepest));
        ASSERT_NE(expected, pu.expected.end());
        const CacheInfo info = decodeCpuidCache(pu.cpuid, facts, level);
        EXPECT_EQ(fields(info), expected->second)
            << entry.path().filename() << " pu " << pu.pu << " L" << level;
        // Sets follow from the other fields (rounded down: a 48-way 5 MiB L3 has 1706.7).
        EXPECT_EQ(info.sets, info.size * 1024ull / (std::uint64_t{info.ways} * info.lineSize));
      }
      EXPECT_EQ(fields(decodeCpuidCache(pu.cpuid, facts, 0)), fields(CacheInfo{}));
    }
  }
  EXPECT_GE(files, 14);
}

constexpr std::uint32_t kIntel[3] = {0x756e6547, 0x6c65746e, 0x49656e69};  // EBX, ECX, EDX
constexpr std::uint32_t kAmd[3] = {0x68747541, 0x444d4163, 0x69746e65};

// A processor of `vendor` with highest leaves `maxBasic` and `maxExtended`, and `leaves` as
// {leaf, subleaf, eax, ebx, ecx, edx}; every other subleaf of leaf 4 / 0x8000001D repeats the
// last one given, as some hypervisors answer.
RecordedCpu synthetic(const std::uint32_t (&vendor)[3], std::uint32_t maxBasic,
                      std::uint32_t maxExtended, std::vector<std::array<std::uint32_t, 6>> leaves) {
  RecordedCpu cpu;
  cpu.words[{0, 0}] = {maxBasic, vendor[0], vendor[1], vendor[2]};
  cpu.words[{0x80000000, 0}] = {maxExtended, 0, 0, 0};
  for (const auto& w : leaves) cpu.words[{w[0], w[1]}] = {w[2], w[3], w[4], w[5]};
  for (const auto& w : leaves) {
    for (std::uint32_t subleaf = w[1] + 1; subleaf < 64; ++subleaf) {
      if ((w[0] == 4 || w[0] == 0x8000001D) && !cpu.words.count({w[0], subleaf})) {
        cpu.words[{w[0], subleaf}] = {w[2], w[3], w[4], w[5]};
      }
    }
  }
  return cpu;
}

// Leaf-4 EAX of a data cache of `level` whose sharing bound is `bound`.
constexpr std::uint32_t dataEax(std::uint32_t level, std::uint32_t bound) {
  return 1 | level << 5 | (bound - 1) << 14;
}
// EBX of `ways` ways, 1 partition, `line`-byte lines.
constexpr std::uint32_t geometry(std::uint32_t ways, std::uint32_t line) {
  return (ways - 1) << 22 | (line - 1);
}

TEST(CpuidCache, ImplausibleOrMadeUpWordsGiveNothing) {
  const CpuFacts two{2, std::nullopt, {}};
  const std::string none = fields(CacheInfo{});
  const struct {
    const char* what;
    RecordedCpu cpu;
    std::string l2;
  } rows[] = {
      {"the same L1 for every subleaf: read once",
       synthetic(kIntel, 4, 0, {{4, 0, dataEax(1, 1), geometry(8, 64), 63, 0}}),
       "size_kib 32 line 64 ways 8 sharing 1"},
      {"a zero line size",
       synthetic(kIntel, 4, 0, {{4, 0, dataEax(1, 1), geometry(8, 1) & ~0xFFFu, 63, 0}}), none},
      {"a 48-byte line", synthetic(kIntel, 4, 0, {{4, 0, dataEax(1, 1), geometry(8, 48), 63, 0}}),
       none},
      {"a 512-byte line", synthetic(kIntel, 4, 0, {{4, 0, dataEax(1, 1), geometry(8, 512), 63, 0}}),
       none},
      {"2^32 sets",
       synthetic(kIntel, 4, 0, {{4, 0, dataEax(1, 1), geometry(8, 64), 0xFFFFFFFF, 0}}), none},
      {"2^44 KiB", synthetic(kIntel, 4, 0, {{4, 0, dataEax(1, 1), 0xFFFFFFFF, 0xFFFFFFFE, 0}}),
       none},
      {"leaf 4 above the highest basic leaf",
       synthetic(kIntel, 3, 0, {{4, 0, dataEax(1, 1), geometry(8, 64), 63, 0}}), none},
      {"an unknown vendor",
       synthetic({0x20202020, 0x20202020, 0x20202020}, 4, 0,
                 {{4, 0, dataEax(1, 1), geometry(8, 64), 63, 0}}),
       none},
      {"instruction caches are no data caches",
       synthetic(kIntel, 4, 0, {{4, 0, dataEax(2, 1) + 1, geometry(8, 64), 63, 0}}), none},
      {"without APIC IDs a bound of 8 counts the 2 online CPUs",
       synthetic(kIntel, 4, 0, {{4, 0, dataEax(2, 8) | 2, geometry(16, 64), 2047, 0}}),
       "size_kib 2048 line 64 ways 16 sharing 2"},
      {"an extended maximum that echoes a basic leaf",
       synthetic(kAmd, 0xd, 0xd, {{0x80000005, 0, 0, 0, 0x30080140, 0}}), none},
      {"0x8000001D beyond the extended maximum: legacy L2 of code A",
       synthetic(kAmd, 1, 0x80000006,
                 {{1, 0, 0x00b00f21, 0, 0, 0},
                  {0x8000001D, 0, dataEax(1, 1), geometry(8, 64), 63, 0},
                  {0x80000006, 0, 0, 0, 0x0200A040, 0}}),
       "size_kib 512 line 64 ways 32 sharing 1"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(fields(decodeCpuidCache(row.cpu, two, 2)), row.l2) << row.what;
  }
  // Legacy associativity codes of a 768 KiB L2: ways, or none for 0 (absent), 7 and 9 (unusable).
  const std::uint32_t waysOfCode[16] = {0, 1, 2, 3, 4, 6, 8, 0, 16, 0, 32, 48, 64, 96, 128, 12288};
  for (std::uint32_t code = 0; code < 16; ++code) {
    const RecordedCpu cpu =
        synthetic(kAmd, 1, 0x80000006,
                  {{1, 0, 0x00800f12, 0, 0, 0}, {0x80000006, 0, 0, 0, 0x03000040 | code << 12, 0}});
    EXPECT_EQ(decodeCpuidCache(cpu, two, 2).ways, waysOfCode[code]) << code;
  }
}

TEST(CpuidCache, CpuinfoGivesOnlineCpusAndApicIdsWhenEveryCpuStatesOne) {
  const struct {
    const char* text;
    int cpu;
    int online;
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

// A tree with a directory for every CPU this thread may run on, with or without `cache` in it.
std::string treeFor(const tov::test::FileTree& tree, bool cacheDirectory) {
  const long cpus = sysconf(_SC_NPROCESSORS_CONF);
  for (long cpu = 0; cpu < cpus; ++cpu) {
    const std::string dir = "cpu" + std::to_string(cpu);
    tree.write(dir + "/topology/core_cpus_list", std::to_string(cpu) + "\n");
    if (cacheDirectory) std::filesystem::create_directories(tree.root + "/" + dir + "/cache");
  }
  return tree.root;
}

// A cache directory, even an empty one, keeps CPUID out; without one, every x86-64 processor
// describes at least its L1 data cache through CPUID.
TEST(CpuidCache, TheFallbackAppliesOnlyWithoutACacheDirectory) {
  using tov::detail::CacheSource;
  tov::test::FileTree withDirectory, without;
  const auto empty = tov::detail::findDataCache(treeFor(withDirectory, true), "/proc/cpuinfo", 1);
  EXPECT_EQ(empty.source, CacheSource::sysfs);
  EXPECT_EQ(fields(empty.info), fields(CacheInfo{}));
  const auto fallback = tov::detail::findDataCache(treeFor(without, false), "/proc/cpuinfo", 1);
  EXPECT_EQ(fallback.source, CacheSource::cpuid);
  EXPECT_GE(fallback.info.size, 16u);
  EXPECT_EQ(tov::detail::findDataCache(without.root, "/proc/cpuinfo", 0).source, CacheSource::none);
}

}  // namespace
