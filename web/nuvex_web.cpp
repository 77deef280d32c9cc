// The converter in the browser: the converter's own line reading and writing (BlockPipeline over
// BlockConverter, on the calling thread) behind a few C functions the page's worker calls. The
// worker hands over the conversion's choices as "key=value" lines, then runs it: the input is
// pulled from the worker (a file or pasted text, in slices) and the output and the messages are
// pushed back to it in pieces, so that a file of any size converts in bounded memory.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "block_pipeline.h"
#include "column_selection.h"
#include "conversion_setup.h"
#include "converter.h"
#include "dms.h"
#include "header_line.h"
#include "nuvex/systems.h"
#include "nuvex/transform.h"
#include "options.h"
#include "point_reader.h"
#include "progress.h"

// Supplied by the worker (web/worker.js).
EM_JS(int, nuvex_js_read, (char* buffer, int capacity),
      { return self.nuvexReadInput(buffer, capacity); });
EM_JS(void, nuvex_js_write, (int stream, const char* data, int length),
      { self.nuvexWriteOutput(stream, data, length); });

namespace {

using namespace nuvex;
using namespace nuvex::cli;

constexpr int kOutputStream = 0;
constexpr int kMessageStream = 1;
constexpr std::size_t kReadBytes = 1u << 20;
constexpr std::size_t kWriteBytes = 1u << 20;

// The input, read from the worker in slices.
class WorkerInput : public std::streambuf {
 public:
  WorkerInput() : buffer_(kReadBytes) {}

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    const int got = nuvex_js_read(buffer_.data(), static_cast<int>(buffer_.size()));
    if (got <= 0) return traits_type::eof();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
    return traits_type::to_int_type(*gptr());
  }

 private:
  std::vector<char> buffer_;
};

// Output or messages, handed to the worker in pieces of about kWriteBytes.
class WorkerOutput : public std::streambuf {
 public:
  explicit WorkerOutput(int stream) : stream_(stream) { pending_.reserve(kWriteBytes); }
  ~WorkerOutput() override { hand(); }

 protected:
  std::streamsize xsputn(const char* data, std::streamsize count) override {
    pending_.append(data, static_cast<std::size_t>(count));
    if (pending_.size() >= kWriteBytes) hand();
    return count;
  }
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      pending_.push_back(traits_type::to_char_type(c));
      if (pending_.size() >= kWriteBytes) hand();
    }
    return traits_type::not_eof(c);
  }
  int sync() override {
    hand();
    return 0;
  }

 private:
  void hand() {
    if (pending_.empty()) return;
    nuvex_js_write(stream_, pending_.data(), static_cast<int>(pending_.size()));
    pending_.clear();
  }
  int stream_;
  std::string pending_;
};

// ---- The conversion's choices ------------------------------------------------------------------

// The page's choices ("key=value" lines) are the converter's convert command: its options, read
// by the converter's option table and set up by the converter's own code (conversion_setup.cpp).
struct PageOption {
  std::string_view key;
  std::string_view option;
  bool flag;  // on or off: "1", "true" or "on" gives the option, anything else leaves it out
};
constexpr PageOption kPageOptions[] = {{"from", "--from", false},
                                       {"to", "--to", false},
                                       {"datum", "--datum", false},
                                       {"zone", "--zone", false},
                                       {"fromzone", "--from-zone", false},
                                       {"zonewidth", "--zone-width", false},
                                       {"zoneprefix", "--zone-prefix", true},
                                       {"axis", "--axis", false},
                                       {"columns", "--columns", false},
                                       {"append", "--append", true},
                                       {"header", "--header", true},
                                       {"outnames", "--out-names", false},
                                       {"delimiter", "--delimiter", false},
                                       {"precision", "--precision", false},
                                       {"dms", "--dms", false}};

struct PageChoices {
  std::vector<std::string> arguments{"convert"};  // in the order of the command line
  std::string inputName = "input";
  bool hasFrom = false, hasTo = false;
};

PageChoices readChoices(std::string_view text) {
  PageChoices choices;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (value.empty()) continue;
    if (key == "name") {
      choices.inputName = value;
      continue;
    }
    for (const PageOption& option : kPageOptions) {
      if (option.key != key) continue;
      if (option.flag) {
        if (value == "1" || value == "true" || value == "on") {
          choices.arguments.emplace_back(option.option);
        }
      } else if (key == "dms") {
        choices.arguments.push_back("--dms=" + std::string(value));  // its value is optional
      } else {
        choices.arguments.emplace_back(option.option);
        choices.arguments.emplace_back(value);
      }
      choices.hasFrom = choices.hasFrom || key == "from";
      choices.hasTo = choices.hasTo || key == "to";
    }
  }
  return choices;
}

// A prepared conversion: everything the pipeline needs, checked as the converter checks its
// command line.
struct Conversion {
  ConversionSetup setup;
  std::string inputName;
  std::unique_ptr<BlockConverter> converter;
};

std::unique_ptr<Conversion> prepare(const PageChoices& choices) {
  if (!choices.hasFrom) throw std::invalid_argument("choose the system of the input");
  if (!choices.hasTo) throw std::invalid_argument("choose the system of the output");
  Options options;
  CLI::App app;
  defineCommands(app, options);
  std::vector<std::string> arguments(choices.arguments.rbegin(), choices.arguments.rend());
  app.parse(arguments);  // CLI11 takes them last first
  readDmsFlags(options);
  auto conversion = std::make_unique<Conversion>();
  conversion->setup = setUpConversion(ConversionCommand::Convert, options);
  conversion->inputName = choices.inputName;
  conversion->converter =
      std::make_unique<BlockConverter>(makeBlockConverter(conversion->setup, options));
  return conversion;
}

std::unique_ptr<Conversion> prepared;
std::string answer;  // the text the last call returns

void appendJsonText(std::string& out, std::string_view text) {
  out.push_back('"');
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(c);
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
}

}  // namespace

extern "C" {

// Every EPSG code the library takes, one a line: code, system ("E:1"), zone, zone width, name,
// separated by tabs ("-" for the zone and width of a geographic code), as `nuvex list` lists them.
EMSCRIPTEN_KEEPALIVE const char* nuvex_web_codes() {
  answer.clear();
  for (const EpsgCode& row : epsgCodes()) {
    const bool grid = row.system.type == CoordinateType::Grid;
    answer += std::to_string(row.code) + '\t' + formatCoordinateSystem(row.system) + '\t' +
              (grid ? std::to_string(row.zone) : "-") + '\t' +
              (grid ? std::to_string(row.zoneWidth) : "-") + '\t' + row.name + '\n';
  }
  return answer.c_str();
}

// The four systems, one a line: code, title with 3 deg zones, title with 6 deg zones, whether the
// official datum transformations join it.
EMSCRIPTEN_KEEPALIVE const char* nuvex_web_systems() {
  answer.clear();
  for (const SystemDescription& system : kSystems) {
    answer += std::to_string(system.code) + '\t' + systemTitle(system.code, kThreeDegreeZones) +
              '\t' + systemTitle(system.code, kSixDegreeZones) + '\t' +
              (system.officialDatum ? "1" : "0") + '\n';
  }
  return answer.c_str();
}

// The library's words for a reason a point has no path (RangeProblem, by number).
EMSCRIPTEN_KEEPALIVE const char* nuvex_web_reason(int problem) {
  answer = problem > 0 && problem < kRangeProblemCount
               ? describeRangeProblem(static_cast<RangeProblem>(problem))
               : "";
  return answer.c_str();
}

// What a system name is, as JSON: {"ok":true,"type":"E","system":1,"zone":3,"width":3,
// "epsg":31467,"title":"..."} or {"ok":false,"problem":"..."}.
EMSCRIPTEN_KEEPALIVE const char* nuvex_web_name(const char* text) {
  answer.clear();
  try {
    const NamedSystem named = parseSystemName(text, "system");
    const int width = named.zoneWidth.value_or(kThreeDegreeZones);
    answer = "{\"ok\":true,\"type\":\"";
    answer += engineTypeCode(named.system.type);
    answer += "\",\"system\":" + std::to_string(named.system.system);
    answer += ",\"zone\":" + (named.zone ? std::to_string(*named.zone) : std::string("null"));
    answer +=
        ",\"width\":" + (named.zoneWidth ? std::to_string(*named.zoneWidth) : std::string("null"));
    answer += ",\"epsg\":" + std::to_string(named.epsgCode) + ",\"title\":";
    appendJsonText(answer, systemTitle(named.system.system, width));
    answer += "}";
  } catch (const std::exception& error) {
    answer = "{\"ok\":false,\"problem\":";
    appendJsonText(answer, error.what());
    answer += "}";
  }
  return answer.c_str();
}

// Prepares a conversion from "key=value" lines; "" when it can run, else why not.
EMSCRIPTEN_KEEPALIVE const char* nuvex_web_prepare(const char* choices) {
  answer.clear();
  prepared.reset();
  try {
    prepared = prepare(readChoices(choices));
  } catch (const std::exception& error) {
    answer = error.what();
  }
  return answer.c_str();
}

// Converts the whole input of the prepared conversion; 0 when every line converted, 1 when some
// did not (as the converter's exit status), 2 when nothing was prepared, 3 on a failure (the
// message stream says which).
EMSCRIPTEN_KEEPALIVE int nuvex_web_run(double sizeBytes) {
  if (!prepared) return 2;
  WorkerInput input;
  WorkerOutput output(kOutputStream);
  WorkerOutput messages(kMessageStream);
  std::istream in(&input);
  std::ostream out(&output);
  std::ostream log(&messages);
  std::streambuf* const standardError = std::cerr.rdbuf(&messages);  // the far-zone warning
  int status = 0;
  try {
    ProgressMeter progress(log, false);
    BlockPipeline pipeline(*prepared->converter, 1, out, log, progress);
    const auto context = std::make_shared<const InputContext>(
        InputContext{prepared->inputName, prepared->setup.layout, {}});
    const HeaderSettings& headerSettings = prepared->setup.header;
    const HeaderReader header = [&](std::string_view line, std::size_t lineNumber) {
      return readHeader(line, lineNumber, *context, headerSettings);
    };
    pipeline.process(in, context, prepared->setup.hasHeader ? &header : nullptr,
                     static_cast<std::uintmax_t>(sizeBytes));
    status = pipeline.hadDataErrors() ? 1 : 0;
  } catch (const std::exception& error) {
    log << "nuvex: " << error.what() << '\n';
    status = 3;
  }
  out.flush();
  log.flush();
  std::cerr.rdbuf(standardError);
  return status;
}

// Converts count points held in the module's memory with the library's batch transformation, as
// the speed comparison (bench/web) calls it: from and to as the page names systems, official 1 for
// the official datum shift; x and y in, xOut, yOut, zoneOut and status out. The transformation is
// kept for the next call with the same systems. Returns the points converted, -1 when the systems
// cannot be converted (the message is nuvex_web_problem's).
EMSCRIPTEN_KEEPALIVE int nuvex_web_transform(const char* from, const char* to, int official,
                                             int count, const double* x, const double* y,
                                             double* xOut, double* yOut, int* zoneOut,
                                             int* status) {
  static std::unique_ptr<Transformer> transformer;
  static std::string key;
  const std::string wanted =
      std::string(from) + '\n' + to + '\n' + (official != 0 ? "official" : "polynomial");
  try {
    if (!transformer || key != wanted) {
      const NamedSystem source = parseSystemName(from, "source");
      const NamedSystem target = parseSystemName(to, "target");
      const int width = target.zoneWidth.value_or(source.zoneWidth.value_or(kThreeDegreeZones));
      const ZoneChoice zones{width, !target.zone.has_value(), target.zone.value_or(0)};
      const DatumChoice datum{official != 0 ? DatumShift::Official : DatumShift::Polynomial, {}};
      transformer = std::make_unique<Transformer>(source.system, target.system, zones, datum);
      key = wanted;
    }
    return static_cast<int>(transformer->transform(static_cast<std::size_t>(count), x, y, nullptr,
                                                   xOut, yOut, zoneOut, status));
  } catch (const std::exception& error) {
    transformer.reset();
    answer = error.what();
    return -1;
  }
}

// Why the last call failed.
EMSCRIPTEN_KEEPALIVE const char* nuvex_web_problem() {
  return answer.c_str();
}

}  // extern "C"
