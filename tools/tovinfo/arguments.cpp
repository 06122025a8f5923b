#include "arguments.hpp"

#include <algorithm>
#include <cstdio>

#include "commands.hpp"

namespace tovinfo {

bool Arguments::has(std::string_view name) const { return value(name).has_value(); }

std::optional<std::string_view> Arguments::value(std::string_view name) const {
  const auto last = std::find_if(options.rbegin(), options.rend(),
                                 [&](const auto& option) { return option.first == name; });
  if (last == options.rend()) return std::nullopt;
  return last->second;
}

std::optional<Arguments> parseArguments(const CommandSpec& command, std::span<char* const> args) {
  Arguments parsed;
  const auto isHelp = [](std::string_view arg) { return arg == "--help" || arg == "-h"; };
  if (std::any_of(args.begin(), args.end(), isHelp)) {
    std::fputs(command.usage, stdout);
    std::fputs(command.help, stdout);
    parsed.help = true;
    return parsed;
  }
  const std::span<const Option> options = command.options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool number = arg.size() >= 2 && arg[0] == '-' && arg[1] >= '0' && arg[1] <= '9';
    if (arg.empty() || arg[0] != '-' || number) {
      parsed.positional.push_back(arg);
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const auto option = std::find_if(options.begin(), options.end(),
                                     [&](const Option& known) { return known.name == name; });
    if (option == options.end()) {
      usageError(command.name, "unknown option", arg);
      return std::nullopt;
    }
    std::string_view value;
    if (equals != std::string_view::npos) {
      if (!option->takesValue) {
        usageError(command.name, "this option takes no value", arg);
        return std::nullopt;
      }
      value = arg.substr(equals + 1);
    } else if (option->takesValue) {
      if (i + 1 == args.size()) {
        usageError(command.name, "missing value after", arg);
        return std::nullopt;
      }
      value = args[++i];
    }
    parsed.options.emplace_back(name, value);
  }
  return parsed;
}

int usageError(std::string_view command, std::string_view what, std::string_view arg) {
  const char* space = command.empty() ? "" : " ";
  const int commandSize = static_cast<int>(command.size());
  std::fprintf(stderr, "tovinfo%s%.*s: %.*s '%.*s' (see tovinfo%s%.*s --help)\n", space,
               commandSize, command.data(), static_cast<int>(what.size()), what.data(),
               static_cast<int>(arg.size()), arg.data(), space, commandSize, command.data());
  return kExitUsage;
}

}  // namespace tovinfo
