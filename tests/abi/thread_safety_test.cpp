// Every exported function called from 8 threads whose first calls coincide: the threads are
// started before anything calls the library, and each function is first called by all of them
// at once, behind a barrier. Only afterwards does the main thread compute the single-threaded
// results to compare with. A lazily filled cache without synchronisation then gives a data race
// on its first fill, which the tsan preset reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <barrier>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tov/config.hpp"
#include "tov/detect.hpp"
#include "tov/fft/dims.hpp"
#include "tov/fft/twiddle.hpp"

namespace {

using tov::fft::InplaceDim;
using tov::fft::OoplaceDim;

struct Case {
  std::string name;
  std::function<std::string()> run;
};

template <class T>
std::string bytes(const T* data, std::size_t count) {
  return std::string(reinterpret_cast<const char*>(data), count * sizeof(T));
}

constexpr int kPlan[] = {0x104, 3, 2 << 16 | 2, 5, 8};  // chirp flag, packed entry, row stage

// Canonicalization and size functions on fresh rank-3 problems: the records and the results.
template <class Dim>
std::string dimsFunctions() {
  using namespace tov::fft;
  const Dim problem[4] = {{4, 0, 0}, {INT64_MIN, -3, 7}, {6, 0, 5}, {3, 0, 0}};
  Dim cc[4], rc[4];
  std::copy(problem, problem + 4, cc);
  std::copy(problem, problem + 4, rc);
  const auto results =
      std::tuple(canonicalizeCC(3, cc, &cc[3]), canonicalizeRC(3, rc, &rc[3]),
                 getMinSizeCC(3, problem, &problem[3]), getMinSizeRC(3, problem, &problem[3]));
  return bytes(cc, 4) + bytes(rc, 4) + bytes(&results, 1) + toString(problem[1]);
}

// The row tables of a writer, and the column table of its element type.
template <long VL, class T>
std::string tables() {
  std::vector<T> col(static_cast<std::size_t>(tov::fft::getColTwidTableSize(kPlan)));
  tov::fft::writeColTwidTable<T>(kPlan, col.data());
  std::string out = bytes(col.data(), col.size());
  for (const bool rc : {false, true}) {
    std::vector<T> row(std::size_t(tov::fft::getRowTwidTableSize<VL>(rc, 200, kPlan)));
    tov::fft::writeRowTwidTable<VL, T>(rc, 200, kPlan, row.data());
    out += bytes(row.data(), row.size());
  }
  return out;
}

std::vector<Case> exportedFunctions() {
  std::vector<Case> cases = {
      {"detectArchitecture", [] { return tov::toString(tov::detectArchitecture()); }},
      {"configuration",
       [] {
         const tov::Configuration cfg{
             {{tov::Parameter{-3}, 5}, {tov::Parameter::architecture, 18}}};
         const tov::ConfigItem item = cfg.items[0];
         std::ostringstream out;
         out << cfg << item << item(item) << (item == item) << (item != item)
             << cfg.get(tov::Parameter{-3}) << static_cast<int>(cfg.getArchitecture());
         return out.str() + tov::toString(tov::Architecture{3});
       }},
      {"detectCpus, detectAvailableCpus, detectCores, detectDies, detectPackages",
       [] {
         return std::to_string(tov::detectCpus()) + ',' +
                std::to_string(tov::detectAvailableCpus()) + ',' +
                std::to_string(tov::detectCores()) + ',' + std::to_string(tov::detectDies()) + ',' +
                std::to_string(tov::detectPackages());
       }},
      // detectDataCache describes the CPU that the scheduler picked for the thread, so only the
      // race check applies to it.
      {"detectDataCache, toString(CacheInfo)",
       [] {
         for (const int level : {0, 1, 2, 3, 4}) tov::detectDataCache(level);
         return tov::toString(tov::CacheInfo{~0u, 7, 64, 0, 12});
       }},
      {"InplaceDim functions", dimsFunctions<InplaceDim>},
      {"OoplaceDim functions", dimsFunctions<OoplaceDim>},
  };
  // The writers that this processor runs, and with them the table sizes.
  const tov::Architecture level = tov::detectArchitecture();
  if (supports(level, tov::Architecture::avx2)) {
    cases.insert(cases.end(), {{"writers VL 2 double", tables<2, double>},
                               {"writers VL 4 float", tables<4, float>},
                               {"writers VL 4 double", tables<4, double>},
                               {"writers VL 8 float", tables<8, float>}});
  }
#if defined(__FLT16_MAX__)
  if (supports(level, tov::Architecture::avx512fp16))
    cases.push_back({"writers VL 16", tables<16, _Float16>});
#endif
  return cases;
}

TEST(ThreadSafety, ConcurrentFirstCallsAndLaterCallsGetTheSingleThreadedResults) {
  constexpr int kThreads = 8;
  constexpr std::size_t kRounds = 20;
  const std::vector<Case> cases = exportedFunctions();
  const std::size_t n = cases.size();
  // results[t][round * n + i]: what thread t got from case i in that round.
  std::vector<std::vector<std::string>> results(kThreads, std::vector<std::string>(kRounds * n));
  std::barrier together(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (std::size_t i = 0; i < n; ++i) {
        together.arrive_and_wait();
        results[t][i] = cases[i].run();
      }
      // Later rounds start each thread at another case, so different functions overlap too.
      for (std::size_t round = 1; round < kRounds; ++round) {
        for (std::size_t k = 0; k < n; ++k) {
          const std::size_t i = (k + static_cast<std::size_t>(t)) % n;
          results[t][round * n + i] = cases[i].run();
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (std::size_t i = 0; i < n; ++i) {
    const std::string expected = cases[i].run();
    for (int t = 0; t < kThreads; ++t) {
      for (std::size_t round = 0; round < kRounds; ++round) {
        ASSERT_EQ(results[t][round * n + i], expected)
            << cases[i].name << " in thread " << t << ", round " << round;
      }
    }
  }
}

}  // namespace
