// Twiddle-table writers, the exported ones and every internal path (256-bit and 512-bit vectors,
// dividing or multiplying by a correctly rounded reciprocal), against baselines in the same
// binary: the same table filled with glibc sincos per value, and a plain copy of the table's bytes
// (column tables). Rates are complex values per second (for row tables, every value of the table,
// zeros included). The dispatch benchmarks time the smallest table, one radix-2 stage, through
// the exported writer and through the path it resolves to.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "tov/config.hpp"
#include "tov/fft/twiddle.hpp"
#include "twiddle/path_table.hpp"

namespace {

using tov::fft::detail::kTwiddlePaths;
using tov::fft::detail::TwiddlePath;

struct Plan {
  const char* name;
  std::vector<int> words;
};

// Radix-4 plans of 2^10, 2^16 and 2^20 points, and 3*5*7*11*13*16 = 240240 points.
std::vector<int> radix4(int stages) {
  std::vector<int> words = {stages + 1, 4};
  for (int i = 0; i < stages; ++i) words.push_back(4);
  return words;
}

const Plan kPlans[] = {
    {"radix4_2^10", radix4(4)},
    {"radix4_2^16", radix4(7)},
    {"radix4_2^20", radix4(9)},
    {"mixed_240240", {6, 3, 5, 7, 11, 13, 16}},
};

// The processor clock in cycles per second of CPU time: a chain of dependent integer additions
// retires one addition per cycle on x86-64 processors, whatever their vector units. Measured
// beside each benchmark, so that rates from different machines and clock states compare as
// cycles per value.
double measureClock() {
  constexpr long kSteps = 1 << 20;  // 16 additions each: about 5 ms at 3 GHz
  timespec start{}, end{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
  long x = 0;
  for (long i = 0; i < kSteps; ++i) {
    asm volatile(
        "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
        "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
        "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
        "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0"
        : "+r"(x));
  }
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
  const double seconds = static_cast<double>(end.tv_sec - start.tv_sec) +
                         1e-9 * static_cast<double>(end.tv_nsec - start.tv_nsec);
  return 16.0 * kSteps / seconds;
}

// Times write(table) on a table of `size` elements of T.
template <typename T, class Write>
void timeTable(benchmark::State& state, tov::Architecture needs, long size, Write write) {
  if (!tov::supports(tov::detectArchitecture(), needs)) {
    state.SkipWithError("processor lacks the writer's instruction set");
    return;
  }
  std::vector<T> table(static_cast<std::size_t>(size));
  const double before = measureClock();
  for (auto _ : state) {
    write(table.data());
    benchmark::DoNotOptimize(table.data());
    benchmark::ClobberMemory();
  }
  const double hz = (before + measureClock()) / 2;
  const double values = static_cast<double>(state.iterations()) * static_cast<double>(size / 2);
  state.SetItemsProcessed(state.iterations() * (size / 2));
  // Per second of CPU time, inverted: seconds * hz / values.
  state.counters["cycles_per_value"] =
      benchmark::Counter(values / hz, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["GHz"] = hz / 1e9;
}

template <typename T>
void colWriter(benchmark::State& state, const Plan* plan, const TwiddlePath* path) {
  const int* words = plan->words.data();
  const long size = tov::fft::getColTwidTableSize(words);
  const tov::Architecture needs = path != nullptr  ? path->needs
                                  : sizeof(T) == 2 ? tov::Architecture::avx512fp16
                                                   : tov::Architecture::avx2;
  timeTable<T>(state, needs, size, [&](T* table) {
    if constexpr (sizeof(T) == 2) {
#if defined(__FLT16_MAX__)
      tov::fft::writeColTwidTable<_Float16>(words, table);
#endif
    } else if (path != nullptr) {
      tov::fft::detail::writerOf<0, T> (*path)(words, table);
    } else {
      tov::fft::writeColTwidTable<T>(words, table);
    }
  });
}

// The same walk over the plan, each value from glibc sincos.
template <typename T>
void sincosBaseline(benchmark::State& state, const Plan* plan) {
  const long size = tov::fft::getColTwidTableSize(plan->words.data());
  const std::vector<int>& w = plan->words;
  timeTable<T>(state, tov::Architecture::detect, size, [&](T* out) {
    long l = w[1];
    for (std::size_t e = 2; e < w.size(); ++e) {
      const long r = w[e], n = l * r;
      const double scale = 2 * M_PI / static_cast<double>(n);
      for (long j = 1; j < l; ++j) {
        for (long m = 1; m < r; ++m) {
          double s, c;
          sincos(scale * static_cast<double>(j * m), &s, &c);
          *out++ = static_cast<T>(c);
          *out++ = static_cast<T>(s);
        }
      }
      l = n;
    }
  });
}

// Copying the finished table: the cost of the stores alone.
template <typename T>
void copyBaseline(benchmark::State& state, const Plan* plan) {
  const long size = tov::fft::getColTwidTableSize(plan->words.data());
  const std::vector<T> source(static_cast<std::size_t>(size), T(0.5));
  timeTable<T>(state, tov::Architecture::detect, size,
               [&](T* table) { std::memcpy(table, source.data(), source.size() * sizeof(T)); });
}

// Row tables: a 2^20-point radix-4 plan (the last stage lane by lane), the split table of a
// real transform of 2^21 points (length 2^20), and Bluestein blocks for n = 10007 through a
// convolution of M = 4^6 * 5 = 20480.
struct RowCase {
  const char* name;
  bool rc;
  long length;
  std::vector<int> words;
};

const RowCase kRowCases[] = {
    {"plan_2^20", false, 0, radix4(9)},
    {"split_2^20", true, 1L << 20, {}},
    {"bluestein_10007", false, 10007, {0x100 | 7, 4, 4, 4, 4, 4, 4, 5}},
};

// One row writer: VL and T, exported or on a path.
template <long VL, typename T>
void rowWriter(benchmark::State& state, const RowCase* c, const TwiddlePath* path) {
  const int* plan = c->rc ? nullptr : c->words.data();
  const long size = tov::fft::getRowTwidTableSize<VL>(c->rc, c->length, plan);
  const tov::Architecture needs = path != nullptr  ? path->needs
                                  : sizeof(T) == 2 ? tov::Architecture::avx512fp16
                                                   : tov::Architecture::avx2;
  timeTable<T>(state, needs, size, [&](T* table) {
    if (path == nullptr) {
      tov::fft::writeRowTwidTable<VL, T>(c->rc, c->length, plan, table);
    } else if constexpr (sizeof(T) != 2) {  // the paths hold float and double writers only
      tov::fft::detail::writerOf<VL, T> (*path)(c->rc, c->length, plan, table);
    }
  });
}

// As many values as the row table holds, each from glibc sincos.
template <typename T>
void rowSincosBaseline(benchmark::State& state, const RowCase* c) {
  const int* plan = c->rc ? nullptr : c->words.data();
  const long values = tov::fft::getRowTwidTableSize<4>(c->rc, c->length, plan) / 2;
  const double scale = 2 * M_PI / static_cast<double>(values);
  timeTable<T>(state, tov::Architecture::detect, 2 * values, [&](T* table) {
    for (long k = 0; k < values; ++k) {
      double s, co;
      sincos(scale * static_cast<double>(k), &s, &co);
      table[2 * k] = static_cast<T>(co);
      table[2 * k + 1] = static_cast<T>(s);
    }
  });
}

// "/exported/" or "/512-bit_reciprocal/" etc., then the case.
std::string pathPart(const TwiddlePath* path, const char* name) {
  std::string part = "/";
  part += path == nullptr ? "exported" : path->name;
  for (char& c : part) c = c == ' ' ? '_' : c;
  return part + "/" + name;
}

const Plan kSmallest = {"radix2_2", {2, 2, 2}};

// Tables far beyond the last-level cache (2^24 points: 256 MiB of double values, 2^26: 1 GiB),
// for the exported writers and the copy only: whether the stores to memory keep pace.
const Plan kLarge[] = {{"radix4_2^24", radix4(11)}, {"radix4_2^26", radix4(12)}};

void registerAll() {
  std::vector<const TwiddlePath*> paths = {nullptr};
  for (const TwiddlePath& path : kTwiddlePaths) paths.push_back(&path);
  for (const RowCase& c : kRowCases) {
    for (const TwiddlePath* path : paths) {
      const std::string p = pathPart(path, c.name);
      benchmark::RegisterBenchmark(("row/VL2_double" + p).c_str(), rowWriter<2, double>, &c, path);
      benchmark::RegisterBenchmark(("row/VL4_float" + p).c_str(), rowWriter<4, float>, &c, path);
      benchmark::RegisterBenchmark(("row/VL4_double" + p).c_str(), rowWriter<4, double>, &c, path);
      benchmark::RegisterBenchmark(("row/VL8_float" + p).c_str(), rowWriter<8, float>, &c, path);
    }
#if defined(__FLT16_MAX__)
    benchmark::RegisterBenchmark(("row/VL16_Float16/exported/" + std::string(c.name)).c_str(),
                                 rowWriter<16, _Float16>, &c, nullptr);
#endif
    benchmark::RegisterBenchmark(("row_sincos/float/" + std::string(c.name)).c_str(),
                                 rowSincosBaseline<float>, &c);
    benchmark::RegisterBenchmark(("row_sincos/double/" + std::string(c.name)).c_str(),
                                 rowSincosBaseline<double>, &c);
  }
  for (const Plan* plan : {&kPlans[0], &kPlans[1], &kPlans[2], &kPlans[3], &kSmallest}) {
    for (const TwiddlePath* path : paths) {
      const std::string p = pathPart(path, plan->name);
      benchmark::RegisterBenchmark(("col/float" + p).c_str(), colWriter<float>, plan, path);
      benchmark::RegisterBenchmark(("col/double" + p).c_str(), colWriter<double>, plan, path);
    }
#if defined(__FLT16_MAX__)
    benchmark::RegisterBenchmark(("col/_Float16/exported/" + std::string(plan->name)).c_str(),
                                 colWriter<_Float16>, plan, nullptr);
#endif
    const std::string p = std::string("/") + plan->name;
    benchmark::RegisterBenchmark(("sincos/float" + p).c_str(), sincosBaseline<float>, plan);
    benchmark::RegisterBenchmark(("sincos/double" + p).c_str(), sincosBaseline<double>, plan);
    benchmark::RegisterBenchmark(("copy/float" + p).c_str(), copyBaseline<float>, plan);
    benchmark::RegisterBenchmark(("copy/double" + p).c_str(), copyBaseline<double>, plan);
  }
  for (const Plan& plan : kLarge) {
    const std::string p = pathPart(nullptr, plan.name);
    benchmark::RegisterBenchmark(("col/float" + p).c_str(), colWriter<float>, &plan, nullptr);
    benchmark::RegisterBenchmark(("col/double" + p).c_str(), colWriter<double>, &plan, nullptr);
    benchmark::RegisterBenchmark(("copy/float/" + std::string(plan.name)).c_str(),
                                 copyBaseline<float>, &plan);
    benchmark::RegisterBenchmark(("copy/double/" + std::string(plan.name)).c_str(),
                                 copyBaseline<double>, &plan);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // The clock at the start, in the header; each benchmark reports its own beside its rate.
  char clock[32];
  std::snprintf(clock, sizeof clock, "%.3f GHz (dependent additions)", measureClock() / 1e9);
  benchmark::AddCustomContext("clock", clock);
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
