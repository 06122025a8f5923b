#include "detect/cpu_facts.hpp"

#include <charconv>
#include <cstdint>
#include <optional>
#include <system_error>

namespace tov::detail {

namespace {

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<std::uint32_t> wholeNumber(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

CpuFacts parseCpuinfo(std::string_view text, int cpu) {
  CpuFacts facts;
  int blocks = 0;
  bool everyBlockHasApicId = true;
  bool blockHasApicId = true;
  bool inCurrentCpu = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = trimmed(line.substr(0, colon));
    const std::optional<std::uint32_t> value = wholeNumber(trimmed(line.substr(colon + 1)));
    if (key == "processor") {
      everyBlockHasApicId = everyBlockHasApicId && blockHasApicId;
      blockHasApicId = false;
      ++blocks;
      inCurrentCpu = value && cpu >= 0 && *value == static_cast<std::uint32_t>(cpu);
    } else if (key == "apicid" && blocks > 0 && !blockHasApicId && value) {
      blockHasApicId = true;
      facts.apicIds.push_back(*value);
      if (inCurrentCpu) facts.apicId = value;
    }
  }
  everyBlockHasApicId = everyBlockHasApicId && blockHasApicId;
  facts.onlineCpus = blocks > 0 ? blocks : 1;
  if (!everyBlockHasApicId) {
    facts.apicIds.clear();
    facts.apicId.reset();
  }
  return facts;
}

}  // namespace tov::detail
