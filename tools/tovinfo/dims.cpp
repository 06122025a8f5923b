// tovinfo dims: canonical records, largest extents and minimum buffer sizes of an FFT problem
// given on the command line.
#include "tov/fft/dims.hpp"

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "arguments.hpp"
#include "commands.hpp"
#include "decimal.hpp"
#include "json.hpp"

namespace tovinfo {
namespace {

using tov::fft::InplaceDim;
using tov::fft::OoplaceDim;

constexpr const char* kUsage =
    "usage: tovinfo dims [--json] cc|rc inplace|ooplace [DIM ...] [--batch DIM]\n";

constexpr const char* kHelp =
    "\nDescribes a batched FFT problem and prints its canonical records (zero strides replaced by\n"
    "their dense defaults), the largest extents and the minimum buffer sizes, in scalars.\n"
    "  cc | rc             complex-to-complex or real-to-complex\n"
    "  inplace | ooplace   one buffer, or separate input and output buffers\n"
    "  DIM                 transform dimensions, outermost first: n:stride in place,\n"
    "                      n:istride:ostride out of place; n alone leaves the strides at 0\n"
    "  --batch DIM         number of transforms and their distance, same form (default 1)\n"
    "  --json              one JSON object instead of text\n"
    "example: tovinfo dims rc ooplace 4 6:3:3 --batch 2\n";

// Splits "a:b:c" into 1 or `fields` integers (missing strides are 0).
bool parseFields(std::string_view text, std::size_t fields, std::array<std::int64_t, 3>& out) {
  out = {0, 0, 0};
  std::size_t count = 0;
  while (true) {
    const std::size_t colon = text.find(':');
    if (count == fields || !parseDecimal(text.substr(0, colon), out[count])) return false;
    ++count;
    if (colon == std::string_view::npos) break;
    text.remove_prefix(colon + 1);
  }
  return count == 1 || count == fields;
}

void writeJson(JsonWriter& json, const InplaceDim& d) {
  json.beginObject().key("n").number(d.n).key("stride").number(d.stride).endObject();
}
void writeJson(JsonWriter& json, const OoplaceDim& d) {
  json.beginObject().key("n").number(d.n).key("istride").number(d.istride);
  json.key("ostride").number(d.ostride).endObject();
}

// A value in place, (input, output) out of place.
template <class T>
void appendSides(std::string& out, T value) {
  appendDecimal(out, value);
}
template <class T>
void appendSides(std::string& out, const std::pair<T, T>& sides) {
  appendDecimal(out, sides.first);
  out += ' ';
  appendDecimal(out, sides.second);
}
template <class T>
void writeSides(JsonWriter& json, T value) {
  json.number(value);
}
template <class T>
void writeSides(JsonWriter& json, const std::pair<T, T>& sides) {
  json.beginObject()
      .key("input")
      .number(sides.first)
      .key("output")
      .number(sides.second)
      .endObject();
}

template <class Dim>
Dim makeDim(const std::array<std::int64_t, 3>& fields) {
  if constexpr (std::is_same_v<Dim, InplaceDim>) {
    return {fields[0], fields[1], 0};
  } else {
    return {fields[0], fields[1], fields[2]};
  }
}

// Whether canonicalization replaced a stride that the command line gave (0 asks for the default).
bool replacesGivenStride(const std::array<std::int64_t, 3>& given, const InplaceDim& canonical) {
  return given[1] != 0 && given[1] != canonical.stride;
}
bool replacesGivenStride(const std::array<std::int64_t, 3>& given, const OoplaceDim& canonical) {
  return (given[1] != 0 && given[1] != canonical.istride) ||
         (given[2] != 0 && given[2] != canonical.ostride);
}

struct Request {
  bool json = false;
  bool rc = false;
  std::vector<std::array<std::int64_t, 3>> dims;
  std::array<std::int64_t, 3> batch{0, 0, 0};
};

template <class Dim>
int describe(const Request& request) {
  std::vector<Dim> dims;
  for (const auto& fields : request.dims) dims.push_back(makeDim<Dim>(fields));
  Dim batch = makeDim<Dim>(request.batch);
  const unsigned long rank = dims.size();
  Dim* const data = dims.empty() ? nullptr : dims.data();

  const auto minSize = request.rc ? tov::fft::getMinSizeRC(rank, data, &batch)
                                  : tov::fft::getMinSizeCC(rank, data, &batch);
  const auto largest = request.rc ? tov::fft::canonicalizeRC(rank, data, &batch)
                                  : tov::fft::canonicalizeCC(rank, data, &batch);
  if (request.rc && rank > 0 && replacesGivenStride(request.dims.back(), dims.back())) {
    std::fputs(
        "tovinfo dims: warning: the innermost real-to-complex strides are fixed; the given "
        "ones are replaced\n",
        stderr);
  }

  constexpr bool inplace = std::is_same_v<Dim, InplaceDim>;
  const char* kind = request.rc ? "rc" : "cc";
  const char* place = inplace ? "inplace" : "ooplace";
  std::string out;
  if (request.json) {
    JsonWriter json;
    json.beginObject().key("kind").string(kind).key("place").string(place);
    json.key("rank").number(rank).key("dims").beginArray();
    for (const Dim& d : dims) writeJson(json, d);
    json.endArray().key("batch");
    writeJson(json, batch);
    json.key("largest");
    writeSides(json, largest);
    json.key("minSize");
    writeSides(json, minSize);
    out = json.endObject().finish();
  } else {
    const char* sides = inplace ? "" : "  (input output)";
    out += "problem    ", out += kind, out += ' ', out += place, out += ", rank ";
    appendDecimal(out, std::uint64_t{rank});
    out += "\ncanonical ";
    for (const Dim& d : dims) out += ' ', out += tov::fft::toString(d);
    out += "\nbatch      ", out += tov::fft::toString(batch);
    out += "\nlargest    ", appendSides(out, largest), out += sides;
    out += "\nmin size   ", appendSides(out, minSize), out += sides, out += '\n';
  }
  std::fputs(out.c_str(), stdout);
  return 0;
}

}  // namespace

int runDims(std::span<char* const> args) {
  constexpr Option kOptions[] = {{"--json", false}, {"--batch", true}};
  const std::optional<Arguments> parsed = parseArguments({"dims", kOptions, kUsage, kHelp}, args);
  if (!parsed || parsed->help) return parsed ? 0 : kExitUsage;
  const std::vector<std::string_view>& words = parsed->positional;
  if (words.size() < 2)
    return usageError("dims", "missing transform kind or placement after",
                      words.empty() ? "dims" : words[0]);
  if (words[0] != "cc" && words[0] != "rc")
    return usageError("dims", "bad transform kind (cc or rc)", words[0]);
  if (words[1] != "inplace" && words[1] != "ooplace") {
    return usageError("dims", "bad placement (inplace or ooplace)", words[1]);
  }
  Request request;
  request.json = parsed->has("--json");
  request.rc = words[0] == "rc";
  const bool inplace = words[1] == "inplace";
  const std::size_t fields = inplace ? 2 : 3;
  const char* form = inplace ? "bad dimension (n or n:stride, decimal integers, n >= 0)"
                             : "bad dimension (n or n:istride:ostride, decimal integers, n >= 0)";
  for (const std::string_view arg : std::span(words).subspan(2)) {
    std::array<std::int64_t, 3>& dim = request.dims.emplace_back();
    if (!parseFields(arg, fields, dim) || dim[0] < 0) return usageError("dims", form, arg);
  }
  const std::optional<std::string_view> batch = parsed->value("--batch");
  if (batch && (!parseFields(*batch, fields, request.batch) || request.batch[0] < 0)) {
    return usageError("dims", "bad batch (the form of a dimension)", *batch);
  }
  return inplace ? describe<InplaceDim>(request) : describe<OoplaceDim>(request);
}

}  // namespace tovinfo
