// tovinfo twiddle: writes a column or row twiddle table and prints it, one complex value a line.
#include "tov/fft/twiddle.hpp"

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "commands.hpp"
#include "tov/config.hpp"

namespace tovinfo {

namespace {

constexpr const char* kTwiddleUsage =
    "usage: tovinfo twiddle col TYPE WORD...\n"
    "       tovinfo twiddle row VL TYPE LENGTH [WORD...]\n"
    "TYPE is float, double or half; WORD... is the twiddle plan (decimal or 0x hexadecimal).\n"
    "A row table without plan words is the split table of LENGTH. Row instances: 2 double,\n"
    "4 float, 4 double, 8 float, 16 half.\n";

int usageError(const char* what, const char* arg) {
  std::fprintf(stderr, "tovinfo twiddle: %s '%s'; see tovinfo twiddle --help\n", what, arg);
  return kExitUsage;
}

// A whole argument as a signed integer, decimal or with a 0x prefix.
bool parseLong(std::string_view text, long& value) {
  const bool negative = !text.empty() && text.front() == '-';
  std::string_view digits = negative ? text.substr(1) : text;
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.remove_prefix(2);
    base = 16;
  }
  unsigned long magnitude = 0;
  const auto [end, ec] =
      std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
  if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty()) return false;
  // Plan words are 32-bit patterns: 0x80000000 and above read as negative words.
  if (magnitude > 0xFFFFFFFFul) return false;
  value = negative ? -static_cast<long>(magnitude) : static_cast<long>(magnitude);
  return true;
}

std::string number(double x) {
  char buffer[40];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, x).ptr);
}
std::string number(float x) {
  char buffer[40];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, x).ptr);
}

template <typename T>
void printTable(const std::vector<T>& table) {
  std::printf("%zu elements\n", table.size());
  for (std::size_t i = 0; i + 1 < table.size(); i += 2) {
    if constexpr (sizeof(T) == 2) {
      std::printf("%6zu  %s  %s\n", i / 2, number(static_cast<float>(table[i])).c_str(),
                  number(static_cast<float>(table[i + 1])).c_str());
    } else {
      std::printf("%6zu  %s  %s\n", i / 2, number(table[i]).c_str(), number(table[i + 1]).c_str());
    }
  }
}

bool cpuRuns(bool half) {
  const tov::Architecture level = tov::detectArchitecture();
  if (half) return level == tov::Architecture::avx512fp16;
  return (static_cast<int>(level) & static_cast<int>(tov::Architecture::avx2)) != 0;
}

template <typename T>
int runCol(const std::vector<int>& plan) {
  std::vector<T> table(static_cast<std::size_t>(tov::fft::getColTwidTableSize(plan.data())));
  tov::fft::writeColTwidTable<T>(plan.data(), table.data());
  printTable(table);
  return 0;
}

template <long VL, typename T>
int runRow(long length, const std::vector<int>& plan) {
  const bool rc = plan.empty();
  const int* words = rc ? nullptr : plan.data();
  std::vector<T> table(
      static_cast<std::size_t>(tov::fft::getRowTwidTableSize<VL>(rc, length, words)));
  tov::fft::writeRowTwidTable<VL, T>(rc, length, words, table.data());
  printTable(table);
  return 0;
}

}  // namespace

int runTwiddle(std::span<char* const> args) {
  if (!args.empty() && std::string_view(args[0]) == "--help") {
    std::fputs(kTwiddleUsage, stdout);
    return 0;
  }
  if (args.empty()) return usageError("missing table kind", "");
  const std::string_view kind = args[0];
  if (kind != "col" && kind != "row") return usageError("unknown table kind", args[0]);
  std::size_t at = 1;
  long vl = 0;
  if (kind == "row") {
    if (at >= args.size()) return usageError("missing vector length", "");
    if (!parseLong(args[at], vl) || (vl != 2 && vl != 4 && vl != 8 && vl != 16)) {
      return usageError("bad vector length", args[at]);
    }
    ++at;
  }
  if (at >= args.size()) return usageError("missing element type", "");
  const std::string_view type = args[at];
  if (type != "float" && type != "double" && type != "half") {
    return usageError("unknown element type", args[at]);
  }
  const char* typeArg = args[at++];
  long length = 0;
  if (kind == "row") {
    if (at >= args.size()) return usageError("missing length", "");
    if (!parseLong(args[at], length)) return usageError("bad length", args[at]);
    ++at;
  }
  std::vector<int> plan;
  for (; at < args.size(); ++at) {
    long word = 0;
    if (!parseLong(args[at], word)) return usageError("bad plan word", args[at]);
    plan.push_back(static_cast<int>(static_cast<unsigned>(word)));
  }
  if (kind == "col" && plan.empty()) return usageError("missing plan words after", typeArg);
  // The writers read word 1 and the words up to the factor count: refuse shorter plans.
  if (!plan.empty() && (plan.size() < 2 || plan.size() < (plan[0] & 0xFFu) + 1u)) {
    return usageError("plan shorter than its factor count", args[args.size() - plan.size()]);
  }
  const bool half = type == "half";
  if (!cpuRuns(half)) {
    std::fprintf(stderr, "tovinfo twiddle: this processor lacks %s\n",
                 half ? "AVX-512 FP16" : "AVX2 with FMA");
    return 1;
  }
  if (kind == "col") {
    if (type == "float") return runCol<float>(plan);
    if (type == "double") return runCol<double>(plan);
#if defined(__FLT16_MAX__)
    return runCol<_Float16>(plan);
#endif
  } else {
    if (vl == 2 && type == "double") return runRow<2, double>(length, plan);
    if (vl == 4 && type == "float") return runRow<4, float>(length, plan);
    if (vl == 4 && type == "double") return runRow<4, double>(length, plan);
    if (vl == 8 && type == "float") return runRow<8, float>(length, plan);
#if defined(__FLT16_MAX__)
    if (vl == 16 && half) return runRow<16, _Float16>(length, plan);
#endif
    return usageError("no row table instance for this vector length and type", typeArg);
  }
  std::fputs("tovinfo twiddle: half tables are not built with this compiler\n", stderr);
  return 1;
}

}  // namespace tovinfo
