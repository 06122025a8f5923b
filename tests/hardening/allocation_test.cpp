// Functions that must not touch the heap: every call made through the table below, counted by
// support/allocation_counter. A kernel library calls them while planning, possibly from a signal-
// or real-time-constrained context, so they allocate nothing on any input.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <new>
#include <string>
#include <utility>

#include "support/allocation_counter.hpp"
#include "support/twid_tables.hpp"
#include "tov/fft/dims.hpp"

namespace {

using tov::fft::InplaceDim;
using tov::fft::OoplaceDim;
using tov::test::allocationsDuring;

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

// A rank-3 problem with defaults, negative and extreme fields; each call gets a fresh copy.
struct Problem {
  InplaceDim in[4] = {{8, 0, 7}, {kMax, -3, 0}, {5, 0, 9}, {kMin, 0, 1}};
  OoplaceDim oo[4] = {{8, 0, 4}, {kMin, kMax, 0}, {6, 1, 0}, {3, 0, -5}};
};

struct NamedCall {
  const char* name;
  std::function<void(Problem&)> call;
};

// One line per function that must not allocate.
const NamedCall kNoAllocation[] = {
    {"canonicalizeCC(InplaceDim)", [](Problem& p) { tov::fft::canonicalizeCC(3, p.in, &p.in[3]); }},
    {"canonicalizeCC(OoplaceDim)", [](Problem& p) { tov::fft::canonicalizeCC(3, p.oo, &p.oo[3]); }},
    {"canonicalizeRC(InplaceDim)", [](Problem& p) { tov::fft::canonicalizeRC(3, p.in, &p.in[3]); }},
    {"canonicalizeRC(OoplaceDim)", [](Problem& p) { tov::fft::canonicalizeRC(3, p.oo, &p.oo[3]); }},
    {"canonicalizeRC rank 0", [](Problem& p) { tov::fft::canonicalizeRC(0, nullptr, &p.in[3]); }},
    {"getMinSizeCC(InplaceDim)", [](Problem& p) { tov::fft::getMinSizeCC(3, p.in, &p.in[3]); }},
    {"getMinSizeCC(OoplaceDim)", [](Problem& p) { tov::fft::getMinSizeCC(3, p.oo, &p.oo[3]); }},
    {"getMinSizeRC(InplaceDim)", [](Problem& p) { tov::fft::getMinSizeRC(3, p.in, &p.in[3]); }},
    {"getMinSizeRC(OoplaceDim)", [](Problem& p) { tov::fft::getMinSizeRC(3, p.oo, &p.oo[3]); }},
    {"getMinSizeRC rank 0", [](Problem& p) { tov::fft::getMinSizeRC(0, nullptr, &p.oo[3]); }},
};

TEST(Allocation, FftDescriptorFunctionsAllocateNothing) {
  for (const NamedCall& entry : kNoAllocation) {
    Problem problem;
    EXPECT_EQ(allocationsDuring([&] { entry.call(problem); }), 0u) << entry.name;
  }
}

// The twiddle writers and size functions, on a plan with packed entries, a row stage and chirp
// blocks; the output arrays are allocated before counting starts.
TEST(Allocation, TwiddleWritersAllocateNothing) {
  const int plan[] = {0x104, 3, 2 << 16 | 2, 5, 8};  // chirp flag, 3 * 2 * 2 * 5 * 8 = 480
  const long length = 100;
  for (const tov::test::Elem e :
       {tov::test::Elem::f32, tov::test::Elem::f64, tov::test::Elem::f16}) {
    if (!tov::test::cpuRuns(e)) continue;
    tov::test::SentinelTable table(tov::fft::getColTwidTableSize(plan), e);
    EXPECT_EQ(allocationsDuring([&] { tov::test::callColWriter(plan, e, table.data()); }), 0u)
        << tov::test::elemName(e);
  }
  for (const tov::test::Instance in : tov::test::kInstances) {
    if (!tov::test::cpuRuns(in.e)) continue;
    for (const bool rc : {false, true}) {
      tov::test::SentinelTable table(tov::test::rowSize(in.vl, rc, length, plan), in.e);
      EXPECT_EQ(
          allocationsDuring([&] { tov::test::callRowWriter(in, rc, length, plan, table.data()); }),
          0u)
          << "VL " << in.vl << " rc " << rc;
    }
  }
  EXPECT_EQ(allocationsDuring([&] {
              tov::fft::getColTwidTableSize(plan);
              tov::fft::getRowTwidTableSize<2>(false, length, plan);
              tov::fft::getRowTwidTableSize<16>(true, length, plan);
            }),
            0u);
}

// The counter itself: each way of allocating counts, library string results included, so a zero
// above means that nothing was allocated, not that nothing was seen.
void* volatile gSink;
void* keep(void* block) {
  gSink = block;
  return block;
}

TEST(AllocationCounter, SeesEveryWayOfAllocating) {
  const std::pair<const char*, void (*)()> ways[] = {
    {"malloc", [] { std::free(keep(std::malloc(24))); }},
    {"calloc", [] { std::free(keep(std::calloc(3, 8))); }},
#if !defined(__SANITIZE_THREAD__)
    // g++ 12's ThreadSanitizer runtime does not report aligned_alloc to the allocation hook.
    {"aligned_alloc", [] { std::free(keep(std::aligned_alloc(64, 128))); }},
#endif
    {"operator new", [] { ::operator delete(keep(::operator new(40))); }},
    {"aligned operator new[]",
     [] {
       gSink = ::operator new[](40, std::align_val_t{64});
       ::operator delete[](gSink, std::align_val_t{64});
     }},
  };
  for (const auto& [name, allocate] : ways) EXPECT_EQ(allocationsDuring(allocate), 1u) << name;
  EXPECT_EQ(allocationsDuring([] {
              gSink = std::malloc(8);
              std::free(keep(std::realloc(gSink, 4096)));
            }),
            2u);
  // Past the short-string buffer: the text form allocates.
  EXPECT_GE(allocationsDuring([] {
              const std::string text = tov::fft::toString(OoplaceDim{kMin, kMin, kMin});
              gSink = const_cast<char*>(text.data());
            }),
            1u);
}

}  // namespace
