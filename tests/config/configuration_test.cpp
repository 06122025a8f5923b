#include <gtest/gtest.h>

#include <climits>
#include <locale>
#include <sstream>
#include <unordered_set>

#include "tov/config.hpp"

namespace {

using tov::Architecture;
using tov::ConfigItem;
using tov::Configuration;
using tov::Parameter;

ConfigItem item(std::int32_t parameter, std::int32_t value) {
  return {static_cast<Parameter>(parameter), value};
}

TEST(ConfigItem, TextForms) {
  const std::pair<ConfigItem, const char*> texts[] = {
      {item(0x100, 8), "{Parameter::threads, 8}"},
      {item(0x101, -1), "{Parameter::teams, -1}"},
      {item(0x111, 0), "{Parameter::l1size, 0}"},
      {item(0x112, 1048576), "{Parameter::l2size, 1048576}"},
      {item(0x113, INT32_MIN), "{Parameter::l3size, -2147483648}"},
      {item(0, INT32_MAX), "{Parameter::invalid, 2147483647}"},
      // Unnamed parameter numbers, near the named ones or far, print the value alone.
      {item(2, 1), "{Parameter::1}"},
      {item(258, 7), "{Parameter::7}"},
      {item(0x114, -5), "{Parameter::-5}"},
      {item(-1, 0), "{Parameter::0}"},
      {item(INT32_MIN, 9), "{Parameter::9}"},
      // Architecture items are written as the architecture's own text, empty when not a level.
      {item(1, 18), "Architecture::avx512"},
      {item(1, 5), ""},
      {item(1, INT32_MIN), ""},
  };
  for (const auto& [configItem, text] : texts) EXPECT_EQ(configItem.toString(), text);
}

TEST(ConfigItem, HashAndEqualityLookAtTheParameterOnly) {
  for (const std::int32_t parameter : {INT32_MIN, -256, -1, 0, 1, 0x100, 0x113, INT32_MAX}) {
    const ConfigItem a = item(parameter, 4), b = item(parameter, ~4);
    // The argument is hashed, not *this; a negative parameter is sign-extended.
    EXPECT_EQ(item(0x101, 9)(a), static_cast<std::size_t>(std::int64_t{parameter}));
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);
    EXPECT_FALSE(a == item(parameter ^ 1, 4));
    EXPECT_TRUE(a != item(parameter ^ 1, 4));
  }
  std::unordered_set<ConfigItem, ConfigItem> set{item(0x100, 4), item(0x100, 16), item(0x101, 2)};
  EXPECT_EQ(set.size(), 2u);
  EXPECT_EQ(set.find(item(0x100, 0))->value, 4);
}

TEST(Configuration, LookupFindsTheFirstMatchOrZero) {
  const Configuration empty;
  EXPECT_EQ(empty.get(Parameter::threads), 0);
  EXPECT_EQ(empty.getArchitecture(), Architecture::detect);

  Configuration cfg{{item(0x100, 4), item(1, 2), item(0x100, 16), item(-7, INT32_MIN)}};
  cfg.items.push_back(item(1, 18));
  EXPECT_EQ(cfg.get(Parameter::threads), 4);
  EXPECT_EQ(cfg.get(Parameter::l1size), 0);
  EXPECT_EQ(cfg.get(static_cast<Parameter>(-7)), INT32_MIN);
  EXPECT_EQ(cfg.getArchitecture(), Architecture::avx2);

  // A stored detect reads the same as none; it is not replaced by the detected level, and a
  // value that is no level comes back as it is.
  EXPECT_EQ((Configuration{{item(1, 0), item(1, 2)}}).getArchitecture(), Architecture::detect);
  EXPECT_EQ((Configuration{{item(1, -9)}}).getArchitecture(), static_cast<Architecture>(-9));
}

TEST(Configuration, TextForms) {
  const std::pair<Configuration, const char*> texts[] = {
      {{}, "{}"},
      {{{item(1, 2), item(0x100, 8)}}, "{Architecture::avx2, {Parameter::threads, 8}}"},
      {{{item(1, 5), item(0x101, 2)}}, "{, {Parameter::teams, 2}}"},
      {{{item(300, -1)}}, "{{Parameter::-1}}"},
  };
  for (const auto& [cfg, text] : texts) {
    EXPECT_EQ(cfg.toString(), text);
    std::ostringstream streamed;
    streamed << cfg << '|';
    EXPECT_EQ(streamed.str(), std::string(text) + '|');
  }
}

// Digit grouping in the global locale must not reach the text forms.
struct Thousands : std::numpunct<char> {
  char do_thousands_sep() const override { return ','; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(Configuration, TextIgnoresTheGlobalLocale) {
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new Thousands));
  std::ostringstream out;
  out << item(0x111, 65536) << '|' << Configuration{{item(0x112, 1048576)}};
  std::locale::global(previous);
  EXPECT_EQ(out.str(), "{Parameter::l1size, 65536}|{{Parameter::l2size, 1048576}}");
}

}  // namespace
