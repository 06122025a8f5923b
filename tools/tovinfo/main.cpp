// tovinfo: shows what the tov_core library computes, without writing code.
#include <cstdio>
#include <span>
#include <string_view>

#include "arguments.hpp"
#include "commands.hpp"

namespace {

struct Command {
  std::string_view name;
  int (*run)(std::span<char* const>);
  std::string_view summary;
};

constexpr Command kCommands[] = {
    {"machine", tovinfo::runMachine,
     "instruction-set level, CPUs, cores, dies, packages, data caches"},
    {"dims", tovinfo::runDims, "canonical records and buffer sizes of an FFT problem"},
    {"twiddle", tovinfo::runTwiddle, "a column or row twiddle table, one value a line"},
};

constexpr const char* kUsage =
    "usage: tovinfo [machine] [--json] | dims ... | twiddle ... | --help | --version\n";

void printHelp() {
  std::fputs(kUsage, stdout);
  std::fputs("\nCommands (machine is the default; its options work without naming it):\n", stdout);
  for (const Command& command : kCommands) {
    std::printf("  %-10.*s %.*s\n", static_cast<int>(command.name.size()), command.name.data(),
                static_cast<int>(command.summary.size()), command.summary.data());
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::span<char* const> args(argv + 1, argc > 0 ? static_cast<std::size_t>(argc - 1) : 0);
  if (args.empty()) return tovinfo::runMachine(args);
  const std::string_view first = args[0];
  if (first == "--version") return tovinfo::printVersion();
  if (first == "--help" || first == "-h") {
    printHelp();
    return 0;
  }
  for (const Command& command : kCommands) {
    if (command.name == first) return command.run(args.subspan(1));
  }
  // machine is the default command, so its options work without naming it.
  if (first.substr(0, 1) == "-") return tovinfo::runMachine(args);
  return tovinfo::usageError("", "unknown command", first);
}
