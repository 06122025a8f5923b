// The argument layer every tovinfo command shares: options as "--name value" or "--name=value",
// flags, --help, positional words, and the one form of a usage error.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace tovinfo {

struct Option {
  std::string_view name;  // with its dashes: "--batch"
  bool takesValue;
};

// A command's name, options, and the text --help prints (usage line first).
struct CommandSpec {
  std::string_view name;
  std::span<const Option> options;
  const char* usage;
  const char* help;
};

struct Arguments {
  bool help = false;
  std::vector<std::string_view> positional;
  std::vector<std::pair<std::string_view, std::string_view>> options;  // name, value ("" for flags)

  bool has(std::string_view name) const;
  // The value of the last occurrence of `name`, if any.
  std::optional<std::string_view> value(std::string_view name) const;
};

// Splits `args` by the options of `command`. --help (or -h) anywhere prints the command's help
// and gives Arguments with `help` set. A word that starts with "-" and a digit is a positional
// number, not an option. Unknown options, flags given a value and options missing theirs are
// usage errors (reported, std::nullopt).
std::optional<Arguments> parseArguments(const CommandSpec& command, std::span<char* const> args);

// The one usage-error form: "tovinfo COMMAND: WHAT 'ARG' (see tovinfo COMMAND --help)" on one
// stderr line; returns kExitUsage.
int usageError(std::string_view command, std::string_view what, std::string_view arg);

}  // namespace tovinfo
