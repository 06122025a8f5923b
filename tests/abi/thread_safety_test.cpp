// Every exported function called from 8 threads whose first calls coincide: the threads are
// started before anything calls the library, and each function is first called by all of them
// at once, behind a barrier. Only afterwards does the main thread compute the single-threaded
// results to compare with. A lazily filled cache without synchronisation then gives a data race
// on its first fill, which the tsan preset reports.
#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>
#include <barrier>
#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "detect/data_cache.hpp"
#include "detect/sysfs.hpp"
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

template <class T>
std::string colTable() {
  std::vector<T> table(static_cast<std::size_t>(tov::fft::getColTwidTableSize(kPlan)));
  tov::fft::writeColTwidTable<T>(kPlan, table.data());
  return bytes(table.data(), table.size());
}

template <long VL, class T>
std::string rowTables() {
  std::string out;
  for (const bool rc : {false, true}) {
    std::vector<T> table(std::size_t(tov::fft::getRowTwidTableSize<VL>(rc, 200, kPlan)));
    tov::fft::writeRowTwidTable<VL, T>(rc, 200, kPlan, table.data());
    out += bytes(table.data(), table.size());
  }
  return out;
}

template <class Describe>
std::string dataCaches(Describe describe) {
  std::string out;
  for (const int level : {0, 1, 2, 3, 4}) out += tov::toString(describe(level));
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
         return out.str() + cfg.toString() + item.toString() + tov::toString(tov::Architecture{3});
       }},
      {"detectCpus", [] { return std::to_string(tov::detectCpus()); }},
      // detectAvailableCpus goes here.
      {"detectCores", [] { return std::to_string(tov::detectCores()); }},
      {"detectDies", [] { return std::to_string(tov::detectDies()); }},
      {"detectPackages", [] { return std::to_string(tov::detectPackages()); }},
      // The CPU the thread runs on is the scheduler's choice; see sameResult.
      {"detectDataCache", [] { return dataCaches(tov::detectDataCache); }},
      {"toString(CacheInfo)",
       [] {
         return tov::toString(tov::CacheInfo{~0u, 7, 64, 0, 12});
       }},
      // This machine may publish no cache directories: a fixture tree reaches the cache reader.
      {"data caches of a fixture",
       [] {
         return dataCaches([](int level) {
           return tov::detail::describeDataCache(
               TOV_TEST_DATA_DIR "/sysfs/20em64t-hybrid-1p6c2t+2ca4co1t", 12, level);
         });
       }},
      {"InplaceDim functions", dimsFunctions<InplaceDim>},
      {"OoplaceDim functions", dimsFunctions<OoplaceDim>},
  };
  // The writers that this processor runs, and with them the table sizes.
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
    cases.insert(cases.end(), {{"writeColTwidTable<float>", colTable<float>},
                               {"writeColTwidTable<double>", colTable<double>},
                               {"writeRowTwidTable<2, double>", rowTables<2, double>},
                               {"writeRowTwidTable<4, float>", rowTables<4, float>},
                               {"writeRowTwidTable<4, double>", rowTables<4, double>},
                               {"writeRowTwidTable<8, float>", rowTables<8, float>}});
  }
#if defined(__FLT16_MAX__)
  if (__builtin_cpu_supports("avx512fp16")) {
    cases.insert(cases.end(), {{"writeColTwidTable<_Float16>", colTable<_Float16>},
                               {"writeRowTwidTable<16, _Float16>", rowTables<16, _Float16>}});
  }
#endif
  return cases;
}

// detectDataCache describes the CPU the thread runs on, which the scheduler picks: any allowed
// CPU's description is right.
bool sameResult(const Case& c, const std::string& expected, const std::string& got) {
  if (c.name != "detectDataCache") return got == expected;
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return false;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (!CPU_ISSET(cpu, &set)) continue;
    const auto describe = [cpu](int level) {
      return tov::detail::describeDataCache(tov::detail::kSysfsCpuRoot, cpu, level);
    };
    if (got == dataCaches(describe)) return true;
  }
  return false;
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
        ASSERT_TRUE(sameResult(cases[i], expected, results[t][round * n + i]))
            << cases[i].name << " in thread " << t << ", round " << round;
      }
    }
  }
}

}  // namespace
