// Baseline helpers over twiddle plans, shared by the size functions.
#pragma once

#include <cstdint>

namespace tov::fft::detail {

// Walks `count` factor entries from *cursor exactly as writeTwidStages does and returns the
// number of complex values it writes, saturated at INT64_MAX for plans outside the format.
// Advances *cursor by `count` words and *length through the stages; nothing happens when
// count < 1.
std::int64_t countStageValues(int count, int const** cursor, std::int64_t* length);

}  // namespace tov::fft::detail
