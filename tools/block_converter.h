// Converting a block of input lines: every line gives exactly one output line, in order. The
// points of the block go through the batch transformation together; comments and blank lines pass
// through; a line that cannot be read or converted comes out as kErrorMarker followed by the
// original text, with a message naming the input and line. Blocks are independent of each other:
// any number convert at once on different threads.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "converter.h"
#include "dms.h"
#include "line_tally.h"
#include "point_reader.h"

namespace nuvex::cli {

inline constexpr char kLineEnd = '\n';

// Marks an output row whose input line was not converted.
inline constexpr std::string_view kErrorMarker = "*error*";
// The UTF-8 byte-order mark some programs put before the first line of a file.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Decimals of the output: metres for grid coordinates, degrees for geographic ones. Their
// defaults are about the same on the ground (1e-3 m, 1e-8 deg ~ 1.1e-3 m).
struct OutputPrecision {
  int metres = 3;
  int degrees = 8;
};
// A single precision value sets metres; degrees get this many more decimals, which keeps the two
// about the same on the ground (1 m is some 1e-5 deg).
inline constexpr int kDegreeDecimalsBeyondMetres = 5;

// Where converted values go in the output line.
enum class Placement {
  Leading,   // "x y [zone] extras": the converter's default
  InPlace,   // the chosen columns are replaced, every other column kept as it was
  Appended,  // the line as it was, the converted values added at its end
};

struct OutputStyle {
  OutputPrecision precision;
  std::optional<int> dmsDecimals;  // geographic output in degrees, minutes and seconds
  Placement placement = Placement::Leading;
  bool latitudeFirst = false;  // geographic output as latitude, longitude
};

// One input as the blocks of it see it.
struct InputContext {
  std::string name;  // as messages call it
  LineLayout layout;
  std::string headerProblem;  // not empty: no line can be read (its columns are unknown)
};

struct Block {
  std::string text;  // whole lines, each ending in '\n' (the input's last line may not)
  std::size_t firstLine = 1;
  std::shared_ptr<const InputContext> input;
};

struct BlockResult {
  std::string output;
  std::string diagnostics;
  bool hadErrors = false;
  std::size_t points = 0;          // lines read as points (converted or not)
  bool farFromForcedZone = false;  // see PointColumns::farFromForcedZone
  LineTally tally;
  void clear();
};

// Removes a byte-order mark from the start of the line; true when there was one.
bool removeByteOrderMark(std::string_view& line);

class BlockConverter {
 public:
  BlockConverter(const ConversionSettings& settings, const OutputStyle& style);

  // Converts the block into result (cleared first). Safe to call from several threads at once.
  void convert(const Block& block, BlockResult& result) const;

  const ConversionSettings& settings() const { return settings_; }
  // The warning a result with farFromForcedZone asks for (once per run).
  std::string farForcedZoneWarning() const { return converter_.farForcedZoneWarning(); }

 private:
  struct Row;
  struct Scratch;
  void readRow(std::string_view wholeLine, std::size_t offset, std::size_t contentOffset,
               const InputContext& input, Scratch& scratch) const;
  void emitRow(const Row& row, std::string_view text, const Block& block, std::size_t lineNumber,
               std::size_t& nextPoint, Scratch& scratch, BlockResult& result) const;
  void appendConverted(const Row& row, std::string_view line, const ConvertedPoint& point,
                       const LineLayout& layout, std::string& out) const;
  void appendValue(std::string& out, double value, Axis axis, char separator,
                   char decimalMark) const;
  void emitFailure(std::string_view line, std::string_view reason, const Block& block,
                   std::size_t lineNumber, BlockResult& result) const;

  ConversionSettings settings_;
  OutputStyle style_;
  BatchConverter converter_;
};

}  // namespace nuvex::cli
