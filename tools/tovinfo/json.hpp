// A minimal JSON text builder for tovinfo's --json output: objects, arrays, strings and
// integers, written with std::to_chars so no locale reaches the numbers.
#pragma once

#include <concepts>
#include <cstdio>
#include <string>
#include <string_view>

#include "decimal.hpp"

namespace tovinfo {

class JsonWriter {
 public:
  JsonWriter& beginObject() { return open('{'); }
  JsonWriter& endObject() { return close('}'); }
  JsonWriter& beginArray() { return open('['); }
  JsonWriter& endArray() { return close(']'); }

  JsonWriter& key(std::string_view name) {
    separate();
    appendString(name);
    out_ += ": ";
    first_ = true;  // the value that follows takes no comma
    return *this;
  }
  JsonWriter& string(std::string_view text) {
    separate();
    appendString(text);
    return *this;
  }
  template <std::integral Integer>
  JsonWriter& number(Integer value) {
    separate();
    appendDecimal(out_, value);
    return *this;
  }

  // The text so far, with a final line feed.
  std::string finish() const { return out_ + '\n'; }

 private:
  JsonWriter& open(char bracket) {
    separate();
    out_ += bracket;
    first_ = true;
    return *this;
  }
  JsonWriter& close(char bracket) {
    out_ += bracket;
    first_ = false;
    return *this;
  }
  void separate() {
    if (!first_) out_ += ", ";
    first_ = false;
  }
  void appendString(std::string_view text) {
    out_ += '"';
    for (const char c : text) {
      if (c == '"' || c == '\\') {
        out_ += '\\';
        out_ += c;
      } else if (static_cast<unsigned char>(c) < 0x20) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
        out_ += escaped;
      } else {
        out_ += c;
      }
    }
    out_ += '"';
  }

  std::string out_;
  bool first_ = true;
};

}  // namespace tovinfo
