// Sizes of the twiddle tables, computed by the same walk over the plan as the writers.
#include <cstdint>

#include "tov/fft/twiddle.hpp"
#include "twiddle/plan_walk.hpp"

namespace tov::fft {

namespace detail {

std::uint64_t countStageValues(int count, int const** cursor, std::int64_t* length) {
  if (count < 1) return 0;
  int const* const entries = *cursor;
  std::uint64_t l = static_cast<std::uint64_t>(*length);
  std::uint64_t values = 0;
  for (int i = 0; i < count; ++i) {
    const std::int64_t word = entries[i];
    std::int64_t radix = word;
    std::int64_t stages = 1;
    if (static_cast<std::uint64_t>(word) >= 65536u) {
      radix = word >> 16;
      stages = word & 0xFFFF;
    }
    if (radix == 1 || l == 0) continue;
    for (std::int64_t s = 0; s < stages; ++s) {
      if (static_cast<std::int64_t>(l) >= 2 && radix >= 2) {
        values += (l - 1) * static_cast<std::uint64_t>(radix - 1);
      }
      l *= static_cast<std::uint64_t>(radix);
    }
  }
  *cursor = entries + count;
  *length = static_cast<std::int64_t>(l);
  return values;
}

}  // namespace detail

long getColTwidTableSize(int const* plan) {
  const int count = static_cast<int>(static_cast<unsigned>(plan[0]) & 0xFFu) - 1;
  if (count < 1) return 0;
  int const* cursor = plan + 2;
  std::int64_t length = plan[1];
  return static_cast<long>(2 * detail::countStageValues(count, &cursor, &length));
}

}  // namespace tov::fft
