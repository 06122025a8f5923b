#include <gtest/gtest.h>

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
  EXPECT_EQ((ConfigItem{Parameter::threads, 8}).toString(), "{Parameter::threads, 8}");
  EXPECT_EQ((ConfigItem{Parameter::l2size, 1048576}).toString(), "{Parameter::l2size, 1048576}");
  EXPECT_EQ((ConfigItem{Parameter::invalid, -3}).toString(), "{Parameter::invalid, -3}");
  EXPECT_EQ((ConfigItem{Parameter::l1size, 0}).toString(), "{Parameter::l1size, 0}");
  EXPECT_EQ((ConfigItem{Parameter::teams, -1}).toString(), "{Parameter::teams, -1}");
  EXPECT_EQ((ConfigItem{Parameter::l3size, INT32_MIN}).toString(),
            "{Parameter::l3size, -2147483648}");
  EXPECT_EQ((ConfigItem{Parameter::l1size, INT32_MAX}).toString(),
            "{Parameter::l1size, 2147483647}");
  // Unnamed parameter numbers print the value alone.
  EXPECT_EQ(item(300, 5).toString(), "{Parameter::5}");
  EXPECT_EQ(item(258, 7).toString(), "{Parameter::7}");
  EXPECT_EQ(item(2, 1).toString(), "{Parameter::1}");
  EXPECT_EQ(item(-1, 0).toString(), "{Parameter::0}");
  // Architecture items are written as the architecture's own text.
  EXPECT_EQ(item(1, 18).toString(), "Architecture::avx512");
  EXPECT_EQ(item(1, 0).toString(), "Architecture::detect");
  EXPECT_EQ(item(1, 5).toString(), "");
}

TEST(ConfigItem, HashAndEqualityLookAtTheParameterOnly) {
  // Values of every parameter, hashes of negative parameters: see the hostile-input tests.
  const ConfigItem four{Parameter::threads, 4}, sixteen{Parameter::threads, 16};
  EXPECT_TRUE(four != (ConfigItem{Parameter::teams, 4}));
  EXPECT_EQ((ConfigItem{Parameter::l3size, 9})(four), 256u);  // the argument is hashed
  std::unordered_set<ConfigItem, ConfigItem> set{four, sixteen, {Parameter::teams, 2}};
  EXPECT_EQ(set.size(), 2u);
  EXPECT_EQ(set.find({Parameter::threads, 0})->value, 4);
}

TEST(Configuration, LookupFindsTheFirstMatchOrZero) {
  const Configuration empty;
  EXPECT_EQ(empty.get(Parameter::threads), 0);
  EXPECT_EQ(empty.getArchitecture(), Architecture::detect);

  Configuration cfg{
      {{Parameter::threads, 4}, {Parameter::architecture, 2}, {Parameter::threads, 16}}};
  cfg.items.push_back({Parameter::architecture, 18});
  EXPECT_EQ(cfg.get(Parameter::threads), 4);
  EXPECT_EQ(cfg.get(Parameter::l1size), 0);
  EXPECT_EQ(cfg.getArchitecture(), Architecture::avx2);
  EXPECT_EQ(cfg.get(Parameter::architecture), 2);

  // A stored detect reads the same as none; it is not replaced by the detected level.
  const Configuration stored{{{Parameter::architecture, 0}, {Parameter::architecture, 2}}};
  EXPECT_EQ(stored.getArchitecture(), Architecture::detect);
}

TEST(Configuration, TextForms) {
  EXPECT_EQ(Configuration{}.toString(), "{}");
  const Configuration cfg{{{Parameter::architecture, 2}, {Parameter::threads, 8}}};
  EXPECT_EQ(cfg.toString(), "{Architecture::avx2, {Parameter::threads, 8}}");
  const Configuration odd{{{Parameter::architecture, 5}, {Parameter::teams, 2}}};
  EXPECT_EQ(odd.toString(), "{, {Parameter::teams, 2}}");

  std::ostringstream out;
  out << cfg << '|' << cfg.items[1];
  EXPECT_EQ(out.str(), "{Architecture::avx2, {Parameter::threads, 8}}|{Parameter::threads, 8}");
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
  out << ConfigItem{Parameter::l2size, 1048576};
  std::locale::global(previous);
  EXPECT_EQ(out.str(), "{Parameter::l2size, 1048576}");
}

}  // namespace
