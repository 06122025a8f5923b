// Configuration vocabulary of the tov_core library: instruction-set levels, their detection on
// the running processor, and configurations made of (parameter, value) items.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "tov/export.hpp"

namespace tov {

// Instruction-set levels. The values are part of the interface: the x86-64 levels nest, each
// being the one below with one more bit (avx512 = avx2 | 0x10, avx512fp16 = avx512 | 0x100).
enum class Architecture : std::int32_t {
  detect = 0,  // in a configuration: no level chosen, so the caller detects one
  unsupported = 1,
  avx2 = 0x2,
  avx512 = 0x12,
  avx512fp16 = 0x112,
  sve256 = 0x20100,  // an Arm level of the shared numbering; never detected on x86-64
};

// Whether a processor at level `have` runs code built for level `need`: the levels nest, so
// `have` must hold every bit of `need` (avx512fp16 runs avx2 code; sve256 runs none of them).
constexpr bool supports(Architecture have, Architecture need) {
  const auto needBits = static_cast<std::int32_t>(need);
  return (static_cast<std::int32_t>(have) & needBits) == needBits;
}

// "Architecture::avx2" and so on; the empty string for a value that is not an enumerator.
TOV_API std::string toString(Architecture architecture);

// The level of the running processor: unsupported, avx2, avx512 or avx512fp16.
TOV_API Architecture detectArchitecture();

enum class Parameter : std::int32_t {
  invalid = 0,
  architecture = 1,
  threads = 0x100,
  teams = 0x101,  // groups of threads sharing a cache, for callers that split work that way
  l1size = 0x111,
  l2size = 0x112,
  l3size = 0x113,
};

// One (parameter, value) item. Items hash and compare by parameter alone, so an item can be
// both key and hasher of a hashed set holding at most one item per parameter.
struct ConfigItem {
  Parameter parameter;
  std::int32_t value;

  // Hash of `item` (not of *this): its parameter, sign-extended.
  TOV_API std::size_t operator()(const ConfigItem& item) const;
  // "{Parameter::threads, 8}", or the architecture text for an architecture item.
  TOV_API std::string toString() const;
};

TOV_API bool operator==(const ConfigItem& lhs, const ConfigItem& rhs);
TOV_API bool operator!=(const ConfigItem& lhs, const ConfigItem& rhs);
TOV_API std::ostream& operator<<(std::ostream& out, const ConfigItem& item);

// An ordered list of items; several may name one parameter, lookups see the first.
struct Configuration {
  std::vector<ConfigItem> items;

  // Value of the first item naming `parameter`, 0 when there is none.
  TOV_API int get(Parameter parameter) const;
  // The first architecture item's value, Architecture::detect when there is none.
  TOV_API Architecture getArchitecture() const;
  // "{item, item, ...}"; "{}" when empty.
  TOV_API std::string toString() const;
};

TOV_API std::ostream& operator<<(std::ostream& out, const Configuration& configuration);

}  // namespace tov
