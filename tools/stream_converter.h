// Converting a text stream line by line: every input line gives exactly one output line, in
// order. Points are gathered into batches for the engine; comments and blank lines pass
// through; a line that cannot be read or converted comes out as kErrorMarker followed by the
// original text, with a message naming the input and line on the diagnostics stream.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "converter.h"
#include "point_reader.h"

namespace nuvex::cli {

// Marks an output row whose input line was not converted.
inline constexpr std::string_view kErrorMarker = "*error*";

// Decimals of the output: metres for grid coordinates, degrees for geographic ones. Their
// defaults are about the same on the ground (1e-3 m, 1e-8 deg ~ 1.1e-3 m).
struct OutputPrecision {
  int metres = 3;
  int degrees = 8;
};
// A single precision value sets metres; degrees get this many more decimals, which keeps the two
// about the same on the ground (1 m is some 1e-5 deg).
inline constexpr int kDegreeDecimalsBeyondMetres = 5;

// The value with a fixed number of decimals, without a sign on a value that rounds to zero.
std::string formatFixed(double value, int decimals);

class StreamConverter {
 public:
  StreamConverter(const ConversionSettings& settings, const InputColumns& columns,
                  const OutputPrecision& precision, std::ostream& output,
                  std::ostream& diagnostics);

  // Converts every line of input; inputName is how messages call it.
  void process(std::istream& input, std::string_view inputName);
  // Notes an input that could not be read at all.
  void reportUnreadable(std::string_view inputName, std::string_view reason);
  // Whether any line, point or input failed so far.
  bool hadDataErrors() const { return hadDataErrors_; }

 private:
  struct PendingRow {
    std::string text;  // the original line, without its line end
    std::size_t lineNumber;
    LineKind kind;
    char separator;
    std::string extras;   // a copy: a view into text would not survive moving a short text
    std::string problem;  // for a Malformed line
  };

  void flush();
  void emitPoint(const PendingRow& row, const ConvertedPoint& result);
  void emitFailure(const PendingRow& row, std::string_view reason);

  BatchConverter converter_;
  ConversionSettings settings_;
  InputColumns columns_;
  OutputPrecision precision_;
  std::ostream& output_;
  std::ostream& diagnostics_;
  std::string inputName_;
  std::vector<PendingRow> rows_;
  std::vector<InputPoint> points_;
  bool hadDataErrors_ = false;
};

}  // namespace nuvex::cli
