#include <ostream>

#include "tov/config.hpp"

namespace tov {

int Configuration::get(Parameter parameter) const {
  for (const ConfigItem& item : items) {
    if (item.parameter == parameter) return item.value;
  }
  return 0;
}

Architecture Configuration::getArchitecture() const {
  return static_cast<Architecture>(get(Parameter::architecture));
}

std::string Configuration::toString() const {
  std::string text = "{";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i != 0) text += ", ";
    text += items[i].toString();
  }
  text += '}';
  return text;
}

std::ostream& operator<<(std::ostream& out, const Configuration& configuration) {
  return out << configuration.toString();
}

}  // namespace tov
