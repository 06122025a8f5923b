#include <ostream>

#include "text/decimal.hpp"
#include "tov/config.hpp"

namespace tov {
namespace {

// Name texts of the named parameters other than architecture, which is written differently.
// The separator ", " belongs to the name: a parameter without a name is written with its value
// alone, "{Parameter::5}", so that the text never shows an empty name before a separator.
const char* parameterName(Parameter parameter) {
  switch (parameter) {
    case Parameter::invalid: return "invalid, ";
    case Parameter::threads: return "threads, ";
    case Parameter::teams: return "teams, ";
    case Parameter::l1size: return "l1size, ";
    case Parameter::l2size: return "l2size, ";
    case Parameter::l3size: return "l3size, ";
    case Parameter::architecture: break;
  }
  return "";
}

}  // namespace

std::size_t ConfigItem::operator()(const ConfigItem& item) const {
  return static_cast<std::size_t>(static_cast<std::int64_t>(item.parameter));
}

std::string ConfigItem::toString() const {
  if (parameter == Parameter::architecture) return tov::toString(static_cast<Architecture>(value));
  std::string text = "{Parameter::";
  text += parameterName(parameter);
  tov::text::appendDecimal(text, value);
  text += '}';
  return text;
}

bool operator==(const ConfigItem& lhs, const ConfigItem& rhs) {
  return lhs.parameter == rhs.parameter;
}
bool operator!=(const ConfigItem& lhs, const ConfigItem& rhs) {
  return lhs.parameter != rhs.parameter;
}

std::ostream& operator<<(std::ostream& out, const ConfigItem& item) {
  return out << item.toString();
}

}  // namespace tov
