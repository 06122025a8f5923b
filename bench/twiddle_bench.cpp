// Twiddle-table writers against two baselines in the same binary: the same table filled with
// glibc sincos per value, and a plain copy of the table's bytes. Rates are complex values per
// second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tov/config.hpp"
#include "tov/fft/twiddle.hpp"

namespace {

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

template <typename T>
void writeCol(const int* plan, T* table) {
  tov::fft::writeColTwidTable<T>(plan, table);
}

bool runs(bool half) {
  const auto level = tov::detectArchitecture();
  return half ? level == tov::Architecture::avx512fp16
              : (static_cast<int>(level) & static_cast<int>(tov::Architecture::avx2)) != 0;
}

template <typename T>
void colWriter(benchmark::State& state, const Plan* plan, bool half) {
  if (!runs(half)) {
    state.SkipWithError("processor lacks the writer's instruction set");
    return;
  }
  const long size = tov::fft::getColTwidTableSize(plan->words.data());
  std::vector<T> table(static_cast<std::size_t>(size));
  for (auto _ : state) {
    writeCol(plan->words.data(), table.data());
    benchmark::DoNotOptimize(table.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (size / 2));
}

// The same walk over the plan, each value from glibc sincos.
template <typename T>
void sincosBaseline(benchmark::State& state, const Plan* plan) {
  const long size = tov::fft::getColTwidTableSize(plan->words.data());
  std::vector<T> table(static_cast<std::size_t>(size));
  const std::vector<int>& w = plan->words;
  for (auto _ : state) {
    T* out = table.data();
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
    benchmark::DoNotOptimize(table.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (size / 2));
}

// Copying the finished table: the cost of the stores alone.
template <typename T>
void copyBaseline(benchmark::State& state, const Plan* plan) {
  const long size = tov::fft::getColTwidTableSize(plan->words.data());
  std::vector<T> source(static_cast<std::size_t>(size), T(0.5)), table(source.size());
  for (auto _ : state) {
    std::memcpy(table.data(), source.data(), source.size() * sizeof(T));
    benchmark::DoNotOptimize(table.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (size / 2));
}

void registerAll() {
  for (const Plan& plan : kPlans) {
    const std::string p = plan.name;
    benchmark::RegisterBenchmark(("col/float/" + p).c_str(), colWriter<float>, &plan, false);
    benchmark::RegisterBenchmark(("col/double/" + p).c_str(), colWriter<double>, &plan, false);
#if defined(__FLT16_MAX__)
    benchmark::RegisterBenchmark(("col/_Float16/" + p).c_str(), colWriter<_Float16>, &plan, true);
#endif
    benchmark::RegisterBenchmark(("sincos/float/" + p).c_str(), sincosBaseline<float>, &plan);
    benchmark::RegisterBenchmark(("sincos/double/" + p).c_str(), sincosBaseline<double>, &plan);
    benchmark::RegisterBenchmark(("copy/float/" + p).c_str(), copyBaseline<float>, &plan);
    benchmark::RegisterBenchmark(("copy/double/" + p).c_str(), copyBaseline<double>, &plan);
  }
}

}  // namespace

int main(int argc, char** argv) {
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
