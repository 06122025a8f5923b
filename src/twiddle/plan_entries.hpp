// How a twiddle plan is read: the factor count and the factor entries, shared by the table
// writers and the size functions.
//
// No include guard and no includes (it needs <cstdint>): a file includes it once inside the
// namespace it works in, an instruction-set namespace for the writers and tov::fft::detail for the
// baseline size functions. Each gets its own copy of these inline functions, so the linker can
// never hand the baseline code a copy compiled with AVX flags.

// The factor count S, the first factor included: the low byte of word 0. The first factor sits
// in word 1 and the S - 1 factor entries follow from word 2 on.
inline int factorCount(int const* plan) {
  return static_cast<int>(static_cast<unsigned>(plan[0]) & 0xFFu);
}

// Products and sums of running lengths and indices wrap modulo 2^64, as plans outside the format
// may overflow them; done in unsigned types, so no plan is undefined behaviour.
inline std::int64_t wrapMul(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b));
}

inline std::int64_t wrapAdd(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

// Calls stage(length, radix) for each radix stage of the `count` entries at `entries`, with the
// running length that enters the stage, and returns the running length after them (the length
// times every radix). A word from 0 to 65535 (sign-extended, compared unsigned) is one stage of
// that radix; any other word, negative ones included, packs a repeat count in bits 0-15 and a
// radix above (shifted arithmetically). Stages of radix 1 and stages entered with length 0 change
// nothing and write nothing, so they are skipped whole.
template <class Stage>
inline std::int64_t forEachStage(int count, int const* entries, std::int64_t length,
                                 Stage&& stage) {
  for (int i = 0; i < count; ++i) {
    const std::int64_t word = entries[i];
    const bool plain = static_cast<std::uint64_t>(word) < 65536u;
    const std::int64_t radix = plain ? word : word >> 16;
    const std::int64_t repeats = plain ? 1 : word & 0xFFFF;
    if (radix == 1 || length == 0) continue;
    for (std::int64_t s = 0; s < repeats; ++s) {
      stage(length, radix);
      length = wrapMul(length, radix);
    }
  }
  return length;
}
