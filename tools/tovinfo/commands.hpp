// Subcommands of tovinfo. Each takes the arguments after its name and returns the exit status:
// 0 on success, 2 for a malformed command line (after one line on stderr naming the problem).
#pragma once

#include <span>

namespace tovinfo {

constexpr int kExitUsage = 2;

int runMachine(std::span<char* const> args);
int runDims(std::span<char* const> args);
int runTwiddle(std::span<char* const> args);
// Prints the version tovinfo was built with and the version of the library it loaded.
int printVersion();

}  // namespace tovinfo
