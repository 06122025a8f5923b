#include "detect/cpuid_cache.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <string_view>

namespace tov::detail {

namespace {

// The CPUID leaves the decoder reads.
enum Leaf : std::uint32_t {
  kLeafVendor = 0,
  kLeafSignature = 1,
  kLeafCacheParameters = 4,
  kLeafMaxExtended = 0x80000000,
  kLeafLegacyL1 = 0x80000005,
  kLeafLegacyL2L3 = 0x80000006,
  kLeafAddressSizes = 0x80000008,
  kLeafCacheTopology = 0x8000001D,
};

// Hypervisors have answered the same subleaf for every index; real processors list 4 to 6
// caches. The bound ends a scan that neither a type 0 nor a repeated cache ends.
constexpr std::uint32_t kMaxSubleaves = 16;

// Cache types of leaf 4 and 0x8000001D (EAX[4:0]).
enum CacheType : std::uint32_t { kTypeNone = 0, kTypeData = 1, kTypeUnified = 3 };

// From family 0x17 (Zen) on, 0x80000006 EDX gives the L3 of the whole package with code 9
// ("see 0x8000001D"): it describes no cache of this CPU.
constexpr std::uint32_t kFirstFamilyWithoutLegacyL3 = 0x17;

enum class Vendor { other, intelLike, amdLike };

Vendor vendorOf(const CpuidRegs& leaf0) {
  char name[12];
  std::memcpy(name, &leaf0.ebx, 4);
  std::memcpy(name + 4, &leaf0.edx, 4);
  std::memcpy(name + 8, &leaf0.ecx, 4);
  const std::string_view vendor(name, sizeof name);
  if (vendor == "GenuineIntel" || vendor == "CentaurHauls" || vendor == "  Shanghai  ") {
    return Vendor::intelLike;
  }
  if (vendor == "AuthenticAMD" || vendor == "HygonGenuine") return Vendor::amdLike;
  return Vendor::other;
}

std::uint32_t bits(std::uint32_t word, int low, int count) {
  return (word >> low) & ((std::uint32_t{1} << count) - 1);
}

// ceil(log2(n)) for n >= 1: the APIC ID bits that tell apart the n CPUs a cache may serve.
int ceilLog2(std::uint32_t n) { return std::bit_width(n - 1); }

// One cache as the processor states it, before the plausibility checks of `accept`.
struct Entry {
  int level = 0;
  std::uint64_t bytes = 0;
  std::uint64_t lineSize = 0;
  std::uint64_t sets = 0;
  std::uint64_t ways = 0;
  std::int32_t sharedCpus = 1;
};

// An entry whose words cannot describe a cache gives nothing: a line size that is not a power of
// two from 16 to 256, no sets or ways, less than 1 KiB, or a field too wide for CacheInfo.
std::optional<CacheInfo> accept(const Entry& entry) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
  const std::uint64_t kib = entry.bytes / 1024;
  if (entry.lineSize < 16 || entry.lineSize > 256 || !std::has_single_bit(entry.lineSize) ||
      entry.sets == 0 || entry.ways == 0 || kib == 0 || kib > kMax || entry.sets > kMax ||
      entry.ways > kMax) {
    return std::nullopt;
  }
  return CacheInfo{static_cast<std::uint32_t>(kib), std::max(entry.sharedCpus, 1),
                   static_cast<std::uint32_t>(entry.lineSize),
                   static_cast<std::uint32_t>(entry.sets), static_cast<std::uint32_t>(entry.ways)};
}

// Online CPUs whose APIC ID >> shift equals the current CPU's, at least 1; nothing without the
// kernel's APIC IDs. `shift` is at most 15.
std::optional<int> sharingByApicId(const CpuFacts& facts, int shift) {
  if (!facts.apicId || facts.apicIds.empty()) return std::nullopt;
  const std::uint32_t own = *facts.apicId >> shift;
  const auto count = std::count_if(facts.apicIds.begin(), facts.apicIds.end(),
                                   [&](std::uint32_t id) { return (id >> shift) == own; });
  return std::max<int>(1, static_cast<int>(count));
}

// Folds the entries in the processor's order as the sysfs scan does.
class Collector {
 public:
  explicit Collector(int level) : level_(level) {}
  // False once the entry of exactly the requested level has been taken.
  bool add(const Entry& entry) {
    if (entry.level < 1 || entry.level > level_) return true;
    const std::optional<CacheInfo> info = accept(entry);
    if (!info) return true;
    result_ = *info;
    return entry.level != level_;
  }
  CacheInfo result() const { return result_; }

 private:
  int level_;
  CacheInfo result_{};
};

// Leaf 4 (Intel) and 0x8000001D (AMD) share one layout: type EAX[4:0], level EAX[7:5], sharing
// bound EAX[25:14] + 1, ways EBX[31:22] + 1, partitions EBX[21:12] + 1, line EBX[11:0] + 1,
// sets ECX + 1.
CacheInfo scanDeterministicLeaf(const CpuidSource& cpuid, std::uint32_t leaf, const CpuFacts& facts,
                                int level) {
  Collector collector(level);
  std::array<std::uint32_t, kMaxSubleaves> seen{};  // (level << 5 | type) of the subleaves read
  for (std::uint32_t subleaf = 0; subleaf < kMaxSubleaves; ++subleaf) {
    const CpuidRegs regs = cpuid(leaf, subleaf);
    const std::uint32_t type = bits(regs.eax, 0, 5);
    if (type == kTypeNone) break;
    const std::uint32_t key = bits(regs.eax, 0, 8);
    if (std::find(seen.begin(), seen.begin() + subleaf, key) != seen.begin() + subleaf) break;
    seen[subleaf] = key;
    if (type != kTypeData && type != kTypeUnified) continue;
    Entry entry;
    entry.level = static_cast<int>(bits(regs.eax, 5, 3));
    entry.ways = std::uint64_t{bits(regs.ebx, 22, 10)} + 1;
    entry.lineSize = std::uint64_t{bits(regs.ebx, 0, 12)} + 1;
    entry.sets = std::uint64_t{regs.ecx} + 1;
    entry.bytes = entry.ways * (bits(regs.ebx, 12, 10) + 1) * entry.lineSize * entry.sets;
    const std::uint32_t bound = bits(regs.eax, 14, 12) + 1;
    entry.sharedCpus = sharingByApicId(facts, ceilLog2(bound))
                           .value_or(std::min<int>(static_cast<int>(bound), facts.onlineCpus));
    if (!collector.add(entry)) break;
  }
  return collector.result();
}

// Ways from the associativity code of 0x80000006; 0 for absent (0) and unusable (7, 9) codes,
// and `fullyAssociative` for F.
std::uint64_t waysOfCode(std::uint32_t code, std::uint64_t fullyAssociative) {
  constexpr std::uint64_t kWays[16] = {0, 1, 2, 3, 4, 6, 8, 0, 16, 0, 32, 48, 64, 96, 128, 0};
  return code == 0xF ? fullyAssociative : kWays[code];
}

// A legacy entry of `kib` KiB with `line`-byte lines and `ways` ways (sets follow from them).
Entry legacyEntry(int level, std::uint64_t kib, std::uint64_t line, std::uint64_t ways) {
  Entry entry;
  entry.level = level;
  entry.bytes = kib * 1024;
  entry.lineSize = line;
  entry.ways = ways;
  const std::uint64_t perSet = line * ways;
  entry.sets = perSet == 0 ? 0 : entry.bytes / perSet;
  return entry;
}

// Lines in the cache: the way count of a fully associative one.
std::uint64_t lines(std::uint64_t kib, std::uint64_t line) {
  return line == 0 ? 0 : kib * 1024 / line;
}

std::uint32_t familyOf(const CpuidSource& cpuid, std::uint32_t maxBasic) {
  if (maxBasic < kLeafSignature) return 0;
  const std::uint32_t eax = cpuid(kLeafSignature, 0).eax;
  const std::uint32_t base = bits(eax, 8, 4);
  return base == 0xF ? base + bits(eax, 20, 8) : base;
}

CacheInfo scanLegacyLeaves(const CpuidSource& cpuid, std::uint32_t maxBasic,
                           std::uint32_t maxExtended, const CpuFacts& facts, int level) {
  Collector collector(level);
  if (maxExtended < kLeafLegacyL1) return collector.result();
  // L1 data: size KiB ECX[31:24], raw way count ECX[23:16] (0xFF fully associative), line [7:0].
  const std::uint32_t l1 = cpuid(kLeafLegacyL1, 0).ecx;
  const std::uint64_t l1Kib = bits(l1, 24, 8), l1Line = bits(l1, 0, 8);
  const std::uint32_t l1Ways = bits(l1, 16, 8);
  if (!collector.add(
          legacyEntry(1, l1Kib, l1Line, l1Ways == 0xFF ? lines(l1Kib, l1Line) : l1Ways)) ||
      maxExtended < kLeafLegacyL2L3) {
    return collector.result();
  }
  // L2: size KiB ECX[31:16], associativity code ECX[15:12], line ECX[7:0].
  const CpuidRegs l2l3 = cpuid(kLeafLegacyL2L3, 0);
  const std::uint64_t l2Kib = bits(l2l3.ecx, 16, 16), l2Line = bits(l2l3.ecx, 0, 8);
  const std::uint64_t l2Ways = waysOfCode(bits(l2l3.ecx, 12, 4), lines(l2Kib, l2Line));
  if (!collector.add(legacyEntry(2, l2Kib, l2Line, l2Ways)) ||
      familyOf(cpuid, maxBasic) >= kFirstFamilyWithoutLegacyL3 || maxBasic < kLeafSignature) {
    return collector.result();
  }
  // L3: size in 512 KiB units EDX[31:18], associativity code EDX[15:12], line EDX[7:0]; shared
  // by the package, whose CPUs differ only in the APIC ID's core bits (0x80000008 ECX[15:12], or
  // enough bits for the ECX[7:0] + 1 cores when that field is 0).
  const std::uint64_t l3Kib = std::uint64_t{bits(l2l3.edx, 18, 14)} * 512;
  const std::uint64_t l3Line = bits(l2l3.edx, 0, 8);
  Entry l3 = legacyEntry(3, l3Kib, l3Line, waysOfCode(bits(l2l3.edx, 12, 4), lines(l3Kib, l3Line)));
  std::optional<int> sharing;
  if (maxExtended >= kLeafAddressSizes) {
    const std::uint32_t ecx = cpuid(kLeafAddressSizes, 0).ecx;
    const std::uint32_t coreBits = bits(ecx, 12, 4);
    sharing = sharingByApicId(
        facts, coreBits != 0 ? static_cast<int>(coreBits) : ceilLog2(bits(ecx, 0, 8) + 1));
  }
  l3.sharedCpus = sharing.value_or(facts.onlineCpus);
  collector.add(l3);
  return collector.result();
}

}  // namespace

CacheInfo decodeCpuidCache(const CpuidSource& cpuid, const CpuFacts& facts, int level) {
  if (level < 1) return {};
  const CpuidRegs leaf0 = cpuid(kLeafVendor, 0);
  const std::uint32_t maxBasic = leaf0.eax;
  // A processor without extended leaves may echo a basic leaf here: a value below 0x80000000
  // then fails every comparison with the extended leaves read.
  const std::uint32_t maxExtended = cpuid(kLeafMaxExtended, 0).eax;
  switch (vendorOf(leaf0)) {
    case Vendor::intelLike:
      if (maxBasic < kLeafCacheParameters) return {};
      return scanDeterministicLeaf(cpuid, kLeafCacheParameters, facts, level);
    case Vendor::amdLike:
      // Not the TOPOEXT bit: hypervisors set it over an all-zero leaf and clear it over a filled
      // one. A cache type in subleaf 0 is what tells.
      if (maxExtended >= kLeafCacheTopology &&
          bits(cpuid(kLeafCacheTopology, 0).eax, 0, 5) != kTypeNone) {
        return scanDeterministicLeaf(cpuid, kLeafCacheTopology, facts, level);
      }
      return scanLegacyLeaves(cpuid, maxBasic, maxExtended, facts, level);
    case Vendor::other: break;
  }
  return {};
}

}  // namespace tov::detail
