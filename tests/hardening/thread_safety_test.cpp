// Every exported function of the configuration, detection and problem-descriptor parts called
// from 8 threads at once, each result compared with the one computed before the threads started.
// Each case returns its results as bytes; writers get arrays of their own inside the case. Under
// the tsan preset this is also the data-race check.
#include <gtest/gtest.h>
#include <sched.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <latch>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "detect/data_cache.hpp"
#include "detect/sysfs.hpp"
#include "detect/topology.hpp"
#include "support/twid_tables.hpp"
#include "tov/config.hpp"
#include "tov/detect.hpp"
#include "tov/fft/dims.hpp"

namespace {

using tov::fft::InplaceDim;
using tov::fft::OoplaceDim;

struct Case {
  std::string name;
  std::function<std::string()> run;
};

template <class T>
void appendBytes(std::string& out, const T& value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

constexpr std::int32_t kValues[] = {INT32_MIN, -1,  0,   1,   2,     18,      256,      257,
                                    273,       274, 275, 300, 0x112, 0x20100, INT32_MAX};
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

tov::Configuration sampleConfiguration() {
  tov::Configuration configuration;
  for (const std::int32_t parameter : kValues) {
    configuration.items.push_back({static_cast<tov::Parameter>(parameter), parameter ^ 5});
  }
  return configuration;
}

// A canonicalization or size function on a fresh rank-3 problem; returns records and result.
template <class Dim, class Function>
std::string onProblem(Function function) {
  Dim records[4] = {{4, 0, 0}, {kMin, -3, 7}, {6, 0, 5}, {3, 0, 0}};
  const auto result = function(3ul, records, &records[3]);
  std::string out;
  appendBytes(out, records);
  appendBytes(out, result);
  return out;
}

std::string cacheLevels(int cpu) {
  std::string out;
  for (const int level : {0, 1, 2, 3, 4}) {
    out += tov::toString(tov::detail::describeDataCache(tov::detail::kSysfsCpuRoot, cpu, level));
  }
  return out;
}

// detectDataCache describes the CPU the calling thread runs on, which the scheduler picks: its
// result must be the single-threaded description of one of the CPUs the thread may use.
Case dataCacheCase() {
  cpu_set_t set;
  CPU_ZERO(&set);
  std::set<std::string> described;
  if (sched_getaffinity(0, sizeof set, &set) == 0) {
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
      if (CPU_ISSET(cpu, &set)) described.insert(cacheLevels(cpu));
    }
  }
  return {"detectDataCache", [described] {
            std::string out;
            for (const int level : {0, 1, 2, 3, 4})
              out += tov::toString(tov::detectDataCache(level));
            return described.count(out) != 0 ? std::string("one of the CPUs' caches") : out;
          }};
}

std::vector<Case> allCases() {
  using namespace tov::fft;
  const std::string data = std::string(TOV_TEST_DATA_DIR) + "/sysfs/";
  return {
      {"toString(Architecture)",
       [] {
         std::string out;
         for (const std::int32_t v : kValues)
           out += tov::toString(static_cast<tov::Architecture>(v)) + '|';
         return out;
       }},
      {"detectArchitecture",
       [] { return std::to_string(static_cast<int>(tov::detectArchitecture())); }},
      {"ConfigItem",
       [] {
         std::string out;
         std::ostringstream streamed;
         for (const std::int32_t p : kValues) {
           const tov::ConfigItem item{static_cast<tov::Parameter>(p), ~p};
           appendBytes(out, item(item));
           out += item == tov::ConfigItem{item.parameter, 0} ? '=' : '#';
           out += item != tov::ConfigItem{tov::Parameter::threads, 0} ? '!' : '=';
           out += item.toString();
           streamed << item;
         }
         return out + streamed.str();
       }},
      {"Configuration",
       [configuration = sampleConfiguration()] {
         std::string out;
         for (const std::int32_t p : kValues) {
           appendBytes(out, configuration.get(static_cast<tov::Parameter>(p)));
         }
         appendBytes(out, configuration.get(static_cast<tov::Parameter>(5)));
         appendBytes(out, configuration.getArchitecture());
         std::ostringstream streamed;
         streamed << configuration;
         return out + configuration.toString() + streamed.str();
       }},
      {"detectCpus", [] { return std::to_string(tov::detectCpus()); }},
      {"detectCores", [] { return std::to_string(tov::detectCores()); }},
      {"detectDies", [] { return std::to_string(tov::detectDies()); }},
      {"detectPackages", [] { return std::to_string(tov::detectPackages()); }},
      dataCacheCase(),
      {"toString(CacheInfo)",
       [] {
         return tov::toString(tov::CacheInfo{4294967295u, INT32_MIN, 64, 0, 12});
       }},
      // The readers behind detection, over fixed trees, so that the threads also share files
      // whose content is known.
      {"topology groups of a fixture",
       [data] {
         std::string out;
         for (const char* suffix : {"/topology/core_cpus_list", "/topology/die_cpus_list",
                                    "/topology/package_cpus_list"}) {
           out += std::to_string(tov::detail::countTopologyGroups(
                      data + "fakecpuid1f-64intel64-2p4d2n2c2t", suffix,
                      [](std::size_t bytes, cpu_set_t* set) {
                        for (std::size_t cpu = 0; cpu < 64; ++cpu) CPU_SET_S(cpu, bytes, set);
                        return 0;
                      })) +
                  ',';
         }
         return out;
       }},
      {"data caches of a fixture",
       [data] {
         std::string out;
         for (const int level : {1, 2, 3, 4}) {
           out += tov::toString(
               tov::detail::describeDataCache(data + "20em64t-hybrid-1p6c2t+2ca4co1t", 12, level));
         }
         return out;
       }},
      {"toString(dims)",
       [] {
         return toString(InplaceDim{kMin, -1, 3}) + toString(OoplaceDim{kMin, 0, INT64_MAX});
       }},
  };
}

// Each canonicalization and size function on both record types.
template <class Dim>
void addDimsCases(std::vector<Case>& cases, const std::string& dim) {
  using namespace tov::fft;
  cases.push_back({"canonicalizeCC" + dim,
                   [] { return onProblem<Dim>([](auto... a) { return canonicalizeCC(a...); }); }});
  cases.push_back({"canonicalizeRC" + dim,
                   [] { return onProblem<Dim>([](auto... a) { return canonicalizeRC(a...); }); }});
  cases.push_back({"getMinSizeCC" + dim,
                   [] { return onProblem<Dim>([](auto... a) { return getMinSizeCC(a...); }); }});
  cases.push_back({"getMinSizeRC" + dim,
                   [] { return onProblem<Dim>([](auto... a) { return getMinSizeRC(a...); }); }});
}

// The twiddle writers the processor runs, each call writing an array of its own (a packed entry,
// a row stage and chirp blocks in the plan); the result is the table's bytes.
void addTwiddleCases(std::vector<Case>& cases) {
  using tov::test::Elem;
  static constexpr int kPlan[] = {0x104, 3, 2 << 16 | 2, 5, 8};
  const auto bytesOf = [](const tov::test::SentinelTable& table) {
    return std::string(table.bytes.begin(), table.bytes.end());
  };
  for (const Elem e : {Elem::f16, Elem::f32, Elem::f64}) {
    if (!tov::test::cpuRuns(e)) continue;
    cases.push_back({std::string("writeColTwidTable ") + tov::test::elemName(e), [e, bytesOf] {
                       tov::test::SentinelTable table(tov::fft::getColTwidTableSize(kPlan), e);
                       tov::test::callColWriter(kPlan, e, table.data());
                       return bytesOf(table);
                     }});
  }
  for (const tov::test::Instance in : tov::test::kInstances) {
    if (!tov::test::cpuRuns(in.e)) continue;
    cases.push_back(
        {"writeRowTwidTable VL " + std::to_string(in.vl) + " " + tov::test::elemName(in.e),
         [in, bytesOf] {
           std::string out;
           for (const bool rc : {false, true}) {
             tov::test::SentinelTable table(tov::test::rowSize(in.vl, rc, 200, kPlan), in.e);
             tov::test::callRowWriter(in, rc, 200, kPlan, table.data());
             out += bytesOf(table);
           }
           return out;
         }});
  }
}

TEST(ThreadSafety, EightThreadsAtOnceGetTheSingleThreadedResults) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 50;
  std::vector<Case> cases = allCases();
  addTwiddleCases(cases);
  addDimsCases<InplaceDim>(cases, "(InplaceDim)");
  addDimsCases<OoplaceDim>(cases, "(OoplaceDim)");
  std::vector<std::string> expected;
  for (const Case& c : cases) expected.push_back(c.run());

  // mismatches[t][i]: rounds in which thread t got another result for case i.
  std::vector<std::vector<int>> mismatches(kThreads, std::vector<int>(cases.size(), 0));
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      for (int round = 0; round < kRounds; ++round) {
        // Each thread starts at another case, so different functions overlap as well.
        for (std::size_t k = 0; k < cases.size(); ++k) {
          const std::size_t i = (k + static_cast<std::size_t>(t)) % cases.size();
          if (cases[i].run() != expected[i]) ++mismatches[t][i];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    for (std::size_t i = 0; i < cases.size(); ++i) {
      EXPECT_EQ(mismatches[t][i], 0) << cases[i].name << " in thread " << t;
    }
  }
}

}  // namespace
