// Fuzzes the input side of the nuvex command line: untrusted text lines through the line reader
// and through the whole line-by-line conversion over the engine.
//
// Input: the first byte chooses the columns (bit 0: grid or geographic input, bits 1-2: the
// system, bit 3: a zone given on the command line, bits 4-7: that zone, or for geographic input
// bits 4-5 the target grid's system); the rest is the text.
// Checked: every line is read as a point, a pass-through line or a malformed line with a reason;
// a point is finite and within its ranges; and the conversion writes exactly one output line for
// every input line.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

// The converter's sources are compiled into the target itself: they are not part of the library.
#include "../tools/converter.cpp"
#include "../tools/coordinate_systems.cpp"
#include "../tools/point_reader.cpp"
#include "../tools/stream_converter.cpp"

namespace {

using namespace nuvex::cli;

constexpr unsigned kGridBit = 0x01;
constexpr unsigned kSystemShift = 1;
constexpr unsigned kSystemMask = 0x03;
constexpr unsigned kFixedZoneBit = 0x08;
constexpr unsigned kZoneShift = 4;
constexpr int kZoneStep = 4;  // the 16 zone selector values spread over the UTM zones 0 to 60

void require(bool condition) {
  if (!condition) __builtin_trap();
}

InputColumns columnsFor(std::uint8_t selector) {
  InputColumns columns{};
  columns.type = (selector & kGridBit) != 0 ? CoordinateType::Grid : CoordinateType::Geographic;
  columns.system = kFirstSystem + static_cast<int>((selector >> kSystemShift) & kSystemMask);
  if ((selector & kFixedZoneBit) != 0 && columns.type == CoordinateType::Grid &&
      !isGaussKrueger(columns.system)) {
    columns.fixedZone = static_cast<int>(selector >> kZoneShift) * kZoneStep;
  }
  if (columns.type == CoordinateType::Geographic) columns.system = kWgs84System;
  return columns;
}

void checkLine(std::string_view line, const InputColumns& columns) {
  const ParsedLine parsed = parseLine(line, columns);
  // A reason exactly for the malformed lines.
  require(parsed.problem.empty() == (parsed.kind != LineKind::Malformed));
  if (parsed.kind != LineKind::Point) return;
  const InputPoint& p = parsed.point;
  require(std::isfinite(p.x) && std::isfinite(p.y));
  if (columns.type == CoordinateType::Geographic) {
    require(p.x >= kLowestLongitude && p.x <= kHighestLongitude && p.y >= kLowestLatitude &&
            p.y <= kHighestLatitude);
  } else if (!isGaussKrueger(columns.system)) {
    require(kUtmInputZoneRange.contains(p.zone));
  }
  // The extras are a trimmed part of the line itself.
  const std::string_view extras = parsed.extras;
  require(extras.empty() || (extras.data() >= line.data() &&
                             extras.data() + extras.size() <= line.data() + line.size() &&
                             extras.front() != ' ' && extras.back() != ' '));
}

// Lines of a text: a last line without its newline counts.
std::size_t countLines(std::string_view text) {
  return std::count(text.begin(), text.end(), '\n') + (!text.empty() && text.back() != '\n');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const InputColumns columns = columnsFor(data[0]);
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  for (std::size_t start = 0, end = 0; start <= text.size(); start = end + 1) {
    end = std::min(text.find('\n', start), text.size());
    checkLine(text.substr(start, end - start), columns);
  }

  // The whole conversion: grid input to WGS84 geographic coordinates; geographic input from
  // WGS84 to a grid whose system comes from bits 4-5 (a geographic input has no zone to give).
  const int gridSystem = kFirstSystem + static_cast<int>((data[0] >> kZoneShift) & kSystemMask);
  ConversionSettings settings{};
  settings.from = {columns.type, columns.system};
  settings.to = columns.type == CoordinateType::Grid
                    ? Endpoint{CoordinateType::Geographic, kWgs84System}
                    : Endpoint{CoordinateType::Grid, gridSystem};
  std::istringstream input{std::string(text)};
  std::ostringstream output, diagnostics;
  StreamConverter(settings, columns, OutputPrecision{}, output, diagnostics).process(input, "fuzz");
  require(countLines(output.str()) == countLines(text));
  return 0;
}
