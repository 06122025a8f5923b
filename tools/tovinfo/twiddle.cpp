// tovinfo twiddle: writes a column or row twiddle table and prints it, one complex value a line
// with the bits of each part, or writes the raw elements to a file.
#include "tov/fft/twiddle.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "arguments.hpp"
#include "commands.hpp"
#include "decimal.hpp"
#include "tov/config.hpp"

namespace tovinfo {
namespace {

constexpr const char* kUsage =
    "usage: tovinfo twiddle col TYPE PLAN... [--output FILE]\n"
    "       tovinfo twiddle row VL TYPE (--split LENGTH | PLAN... [--chirp LENGTH]) [--output "
    "FILE]\n";

constexpr const char* kHelp =
    "\nWrites a twiddle table with the library and prints its size and its values, one complex\n"
    "value a line: index, real part, imaginary part, and the bits of both parts in hex.\n"
    "  TYPE            float, double or half\n"
    "  VL              vector length of a row table: 2 (double), 4 (float, double), 8 (float),\n"
    "                  16 (half)\n"
    "  PLAN            the first factor, then one entry per stage, in stage order: a radix r, or\n"
    "                  r^c for c stages of radix r packed into one plan word (e.g. 4 4 2, 2 2^3).\n"
    "                  A row table's last entry, the row stage, is a plain radix.\n"
    "  --split LENGTH  the real-to-complex split table for LENGTH (no plan)\n"
    "  --chirp LENGTH  add the Bluestein chirp blocks for LENGTH points; the plan's length M\n"
    "                  must be at least 2 * LENGTH - 1\n"
    "  --output FILE   write the raw elements (this machine's byte order) to FILE instead\n"
    "example: tovinfo twiddle row 4 float 4 4 --chirp 3\n";

// Tables above this many elements are refused rather than allocated (2 GiB of doubles).
constexpr long kMaxElements = long{1} << 28;

int usageError(std::string_view what, std::string_view arg) {
  return tovinfo::usageError("twiddle", what, arg);
}

// A whole argument as a decimal integer in [low, high].
bool parseInt(std::string_view text, long low, long high, long& value) {
  return parseDecimal(text, value) && value >= low && value <= high;
}

enum class Type { f32, f64, f16 };

struct Request {
  bool row = false;
  long vl = 0;
  Type type = Type::f32;
  std::string_view typeName;
  bool split = false;
  long length = 0;  // split or chirp length
  bool chirp = false;
  std::vector<int> plan;  // words: count and flag, first factor, entries
  std::string planText;
  long planLength = 0;  // the first factor times every radix: M of the chirp blocks
  std::string output;   // empty: print the table
};

// Parses the plan arguments into plan words. Refuses what lies outside the plan format: a
// negative first factor, radices below 1, counts above 65535, more than 255 factors, and lengths
// beyond the table limit.
int parsePlan(std::span<std::string_view const> words, Request& request) {
  std::vector<int>& plan = request.plan;
  plan.assign(2, 0);
  long first = 0;
  if (!parseInt(words[0], 0, kMaxElements, first)) {
    return usageError("bad first factor (0 or more)", words[0]);
  }
  plan[1] = static_cast<int>(first);
  request.planText = std::string(words[0]);
  long length = first;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string_view entry = words[i];
    const std::size_t caret = entry.find('^');
    long radix = 0, count = 1;
    const bool packed = caret != std::string_view::npos;
    if (!parseInt(entry.substr(0, caret), 1, packed ? 32767 : 65535, radix) ||
        (packed && !parseInt(entry.substr(caret + 1), 0, 65535, count))) {
      return usageError("bad plan entry (radix r, 1 to 65535, or r^c)", entry);
    }
    if (packed && request.row && i + 1 == words.size()) {
      return usageError("the row stage must be a plain radix, not", entry);
    }
    for (long c = 0; c < count && length != 0; ++c) {
      if (length > kMaxElements / radix) return usageError("transform too long at entry", entry);
      length *= radix;
    }
    plan.push_back(static_cast<int>(packed ? radix << 16 | count : radix));
    request.planText += ' ';
    request.planText += entry;
  }
  if (plan.size() - 1 > 255) return usageError("more than 255 factors in the plan", words.back());
  plan[0] = static_cast<int>(plan.size() - 1);
  request.planLength = length;
  return 0;
}

bool cpuRuns(Type type) {
  using tov::Architecture;
  return supports(tov::detectArchitecture(),
                  type == Type::f16 ? Architecture::avx512fp16 : Architecture::avx2);
}

template <typename T>
std::string decimal(T x) {
  char buffer[40];
  if constexpr (sizeof(T) == 2) {
    // Every half value is exactly a float, and its shortest float text reads back to it.
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, float(x)).ptr);
  } else {
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, x).ptr);
  }
}

template <typename T>
std::uint64_t bits(T x) {
  if constexpr (sizeof(T) == 2) return std::bit_cast<std::uint16_t>(x);
  if constexpr (sizeof(T) == 4) return std::bit_cast<std::uint32_t>(x);
  if constexpr (sizeof(T) == 8) return std::bit_cast<std::uint64_t>(x);
}

template <typename T>
int emit(const Request& request, const std::vector<T>& table) {
  if (!request.output.empty()) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        std::fopen(request.output.c_str(), "wb"), std::fclose);
    if (!file || std::fwrite(table.data(), sizeof(T), table.size(), file.get()) != table.size()) {
      std::fprintf(stderr, "tovinfo twiddle: cannot write '%s'\n", request.output.c_str());
      return 1;
    }
    std::printf("wrote %zu elements (%zu bytes) to %s\n", table.size(), table.size() * sizeof(T),
                request.output.c_str());
    return 0;
  }
  std::string text;
  text += request.row ? "table   row, VL " + std::to_string(request.vl) + ", " : "table   column, ";
  text += request.typeName;
  if (request.split) {
    text += ", split table of length " + std::to_string(request.length);
  } else {
    text += ", plan " + request.planText + " (" + std::to_string(request.planLength) + " points)";
    if (request.chirp) text += ", chirp blocks of length " + std::to_string(request.length);
  }
  text += "\nsize    " + std::to_string(table.size()) + " elements\n";
  std::fputs(text.c_str(), stdout);
  const int width = static_cast<int>(2 * sizeof(T));
  for (std::size_t i = 0; i + 1 < table.size(); i += 2) {
    std::printf("%6zu  %s  %s  0x%0*" PRIx64 "  0x%0*" PRIx64 "\n", i / 2,
                decimal(table[i]).c_str(), decimal(table[i + 1]).c_str(), width, bits(table[i]),
                width, bits(table[i + 1]));
  }
  return 0;
}

template <typename T>
int writeCol(const Request& request) {
  const long size = tov::fft::getColTwidTableSize(request.plan.data());
  if (size > kMaxElements) return usageError("table too large for plan", request.planText);
  std::vector<T> table(static_cast<std::size_t>(size));
  tov::fft::writeColTwidTable<T>(request.plan.data(), table.data());
  return emit(request, table);
}

template <long VL, typename T>
int writeRow(const Request& request) {
  const int* plan = request.split ? nullptr : request.plan.data();
  const long size = tov::fft::getRowTwidTableSize<VL>(request.split, request.length, plan);
  if (size > kMaxElements) return usageError("table too large for plan", request.planText);
  std::vector<T> table(static_cast<std::size_t>(size));
  tov::fft::writeRowTwidTable<VL, T>(request.split, request.length, plan, table.data());
  return emit(request, table);
}

// Every table kind tovinfo writes, with its writer: the one list of the (VL, type) pairs that
// exist. No writer for _Float16 where this compiler cannot name the type (clang 14 without FP16).
struct TableKind {
  bool row;
  long vl;
  Type type;
  int (*write)(const Request&);
};

#if defined(__FLT16_MAX__)
constexpr auto kWriteColHalf = writeCol<_Float16>;
constexpr auto kWriteRowHalf = writeRow<16, _Float16>;
#else
constexpr int (*kWriteColHalf)(const Request&) = nullptr;
constexpr int (*kWriteRowHalf)(const Request&) = nullptr;
#endif

constexpr TableKind kTableKinds[] = {
    {false, 0, Type::f32, writeCol<float>},   {false, 0, Type::f64, writeCol<double>},
    {false, 0, Type::f16, kWriteColHalf},     {true, 2, Type::f64, writeRow<2, double>},
    {true, 4, Type::f32, writeRow<4, float>}, {true, 4, Type::f64, writeRow<4, double>},
    {true, 8, Type::f32, writeRow<8, float>}, {true, 16, Type::f16, kWriteRowHalf},
};

const TableKind* findKind(const Request& request) {
  for (const TableKind& kind : kTableKinds) {
    if (kind.row == request.row && kind.vl == request.vl && kind.type == request.type) return &kind;
  }
  return nullptr;
}

// The table kind, the element type, the options and the plan words, each read on its own.
int parseRequest(const Arguments& args, Request& request) {
  std::size_t at = 0;
  const auto next = [&]() -> std::string_view {
    return at < args.positional.size() ? args.positional[at++] : std::string_view();
  };
  const std::string_view kind = next();
  if (kind.empty()) return usageError("missing table kind (col or row) after", "twiddle");
  if (kind != "col" && kind != "row") return usageError("unknown table kind (col or row)", kind);
  request.row = kind == "row";
  if (request.row) {
    const std::string_view vl = next();
    if (vl.empty()) return usageError("missing vector length after", kind);
    if (!parseInt(vl, 2, 16, request.vl) || (request.vl & (request.vl - 1)) != 0) {
      return usageError("bad vector length (2, 4, 8 or 16)", vl);
    }
  }
  request.typeName = next();
  if (request.typeName.empty()) return usageError("missing element type after", kind);
  constexpr std::pair<std::string_view, Type> kTypes[] = {
      {"float", Type::f32}, {"double", Type::f64}, {"half", Type::f16}};
  const auto type = std::find_if(std::begin(kTypes), std::end(kTypes), [&](const auto& known) {
    return known.first == request.typeName;
  });
  if (type == std::end(kTypes)) {
    return usageError("unknown element type (float, double or half)", request.typeName);
  }
  request.type = type->second;
  for (const std::string_view option : {"--split", "--chirp"}) {
    const std::optional<std::string_view> value = args.value(option);
    if (!value) continue;
    if (!parseInt(*value, 0, kMaxElements, request.length)) {
      return usageError("bad length (0 or more)", *value);
    }
    (option == "--split" ? request.split : request.chirp) = true;
  }
  if (!request.row && (request.split || request.chirp)) {
    return usageError("column tables take no", request.split ? "--split" : "--chirp");
  }
  if (request.split && request.chirp) return usageError("choose one of --split and", "--chirp");
  if (const std::optional<std::string_view> output = args.value("--output")) {
    request.output = std::string(*output);
  }
  const std::span<std::string_view const> planArgs(args.positional.data() + at,
                                                   args.positional.size() - at);
  if (request.split) {
    if (!planArgs.empty()) return usageError("a split table takes no plan, found", planArgs[0]);
    return 0;
  }
  if (planArgs.empty()) return usageError("missing plan after", request.typeName);
  return parsePlan(planArgs, request);
}

// What the parts cannot say alone: a row table for this (VL, type), chirp blocks the plan is long
// enough for, and a processor that runs the writer.
int validate(Request& request) {
  const TableKind* kind = findKind(request);
  if (kind == nullptr) {
    return usageError("no row table for this vector length and type", request.typeName);
  }
  if (request.chirp) {
    request.plan[0] |= 0x100;  // the chirp flag: word 0 above 255
    if (tov::fft::checkTwidPlan(true, request.length, request.plan.data()) < 0) {
      return usageError("chirp length needs a plan of at least 2 * LENGTH - 1 points, got",
                        std::to_string(request.planLength));
    }
  }
  if (!cpuRuns(request.type)) {
    std::fprintf(stderr, "tovinfo twiddle: this processor cannot run %s tables (they need %s)\n",
                 std::string(request.typeName).c_str(),
                 request.type == Type::f16 ? "AVX-512 FP16" : "AVX2 with FMA");
    return kExitUsage;
  }
  if (kind->write == nullptr) {
    std::fputs("tovinfo twiddle: half tables are not built with this compiler\n", stderr);
    return kExitUsage;
  }
  return 0;
}

}  // namespace

int runTwiddle(std::span<char* const> args) {
  constexpr Option kOptions[] = {{"--split", true}, {"--chirp", true}, {"--output", true}};
  const std::optional<Arguments> parsed =
      parseArguments({"twiddle", kOptions, kUsage, kHelp}, args);
  if (!parsed || parsed->help) return parsed ? 0 : kExitUsage;
  Request request;
  if (const int status = parseRequest(*parsed, request); status != 0) return status;
  if (const int status = validate(request); status != 0) return status;
  return findKind(request)->write(request);
}

}  // namespace tovinfo
