// Twiddle-table writers against two baselines in the same binary: the same table filled with
// glibc sincos per value, and a plain copy of the table's bytes (column tables). Rates are
// complex values per second (for row tables, every value of the table, zeros included).
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

template <long VL, typename T>
void rowWriter(benchmark::State& state, const RowCase* c, bool half) {
  if (!runs(half)) {
    state.SkipWithError("processor lacks the writer's instruction set");
    return;
  }
  const int* plan = c->rc ? nullptr : c->words.data();
  const long size = tov::fft::getRowTwidTableSize<VL>(c->rc, c->length, plan);
  std::vector<T> table(static_cast<std::size_t>(size));
  for (auto _ : state) {
    tov::fft::writeRowTwidTable<VL, T>(c->rc, c->length, plan, table.data());
    benchmark::DoNotOptimize(table.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (size / 2));
}

// As many values as the row table holds, each from glibc sincos.
template <typename T>
void rowSincosBaseline(benchmark::State& state, const RowCase* c) {
  const int* plan = c->rc ? nullptr : c->words.data();
  const long values = tov::fft::getRowTwidTableSize<4>(c->rc, c->length, plan) / 2;
  std::vector<T> table(static_cast<std::size_t>(2 * values));
  const double scale = 2 * M_PI / static_cast<double>(values);
  for (auto _ : state) {
    for (long k = 0; k < values; ++k) {
      double s, co;
      sincos(scale * static_cast<double>(k), &s, &co);
      table[static_cast<std::size_t>(2 * k)] = static_cast<T>(co);
      table[static_cast<std::size_t>(2 * k + 1)] = static_cast<T>(s);
    }
    benchmark::DoNotOptimize(table.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * values);
}

void registerAll() {
  for (const RowCase& c : kRowCases) {
    const std::string p = c.name;
    benchmark::RegisterBenchmark(("row/VL2_double/" + p).c_str(), rowWriter<2, double>, &c, false);
    benchmark::RegisterBenchmark(("row/VL4_float/" + p).c_str(), rowWriter<4, float>, &c, false);
    benchmark::RegisterBenchmark(("row/VL4_double/" + p).c_str(), rowWriter<4, double>, &c, false);
    benchmark::RegisterBenchmark(("row/VL8_float/" + p).c_str(), rowWriter<8, float>, &c, false);
#if defined(__FLT16_MAX__)
    benchmark::RegisterBenchmark(("row/VL16_Float16/" + p).c_str(), rowWriter<16, _Float16>, &c,
                                 true);
#endif
    benchmark::RegisterBenchmark(("row_sincos/float/" + p).c_str(), rowSincosBaseline<float>, &c);
    benchmark::RegisterBenchmark(("row_sincos/double/" + p).c_str(), rowSincosBaseline<double>, &c);
  }
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
