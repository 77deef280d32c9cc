#include "demo.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

#include "converter.h"

namespace nuvex::cli {
namespace {

struct SamplePoint {
  const char* name;
  double longitude;  // deg, WGS84
  double latitude;   // deg, WGS84
};

// City centres, rounded; the last is the point whose grid values the projection is checked
// against.
constexpr std::array<SamplePoint, 7> kSamples = {{
    {"Berlin", 13.4050, 52.5200},
    {"Hamburg", 9.9937, 53.5511},
    {"Munich", 11.5755, 48.1372},
    {"Cologne", 6.9583, 50.9413},
    {"Frankfurt am Main", 8.6821, 50.1109},
    {"Dresden", 13.7373, 51.0504},
    {"Reference point", 10.0, 50.0},
}};

struct DemoGrid {
  int system;
  int zoneWidth;  // zone width code: 3 selects 3 deg zones for system 4
};

constexpr std::array<DemoGrid, 5> kGrids = {{
    {1, kThreeDegreeZones},
    {2, kThreeDegreeZones},
    {3, kThreeDegreeZones},
    {4, kThreeDegreeZones},
    {4, kSixDegreeZones},
}};

// Metres: mean radius of the Earth; a sphere is ample for a round-trip residual.
constexpr double kMeanEarthRadius = 6371000.0;
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
constexpr double kMillimetresPerMetre = 1000.0;
constexpr int kResidualDecimals = 2;  // of millimetres
constexpr const char* kColumnGap = "  ";
constexpr const char* kBlockIndent = "  ";

// Ground distance in metres between two nearby geographic points (degrees).
double groundDistance(double longitude1, double latitude1, double longitude2, double latitude2) {
  const double north = (latitude2 - latitude1) * kRadiansPerDegree * kMeanEarthRadius;
  const double east = (longitude2 - longitude1) * kRadiansPerDegree * kMeanEarthRadius *
                      std::cos(latitude1 * kRadiansPerDegree);
  return std::hypot(north, east);
}

enum class Align { Left, Right };
constexpr std::size_t kColumns = 5;
using Row = std::array<std::string, kColumns>;
constexpr std::array<Align, kColumns> kAlignment = {Align::Left, Align::Right, Align::Right,
                                                    Align::Right, Align::Right};
const Row kHeader = {"System", "Zone", "Easting (m)", "Northing (m)", "Round trip"};

// The outcome for every sample on one grid.
struct GridResults {
  std::vector<ConvertedPoint> forward;
  std::vector<ConvertedPoint> back;
};

GridResults convertSamples(const DemoGrid& grid) {
  const CoordinateSystem geographic{CoordinateType::Geographic, kWgs84System};
  const CoordinateSystem gridSide{CoordinateType::Grid, grid.system};
  std::vector<InputPoint> samples;
  for (const SamplePoint& sample : kSamples) {
    samples.push_back({sample.longitude, sample.latitude, 0});
  }
  GridResults results;
  results.forward = BatchConverter({geographic, gridSide, grid.zoneWidth}).convert(samples);

  std::vector<InputPoint> gridPoints;
  for (const ConvertedPoint& point : results.forward) {
    // UTM eastings travel without their zone; Gauss-Krueger ones carry it.
    const int zone = isGaussKrueger(grid.system) ? 0 : point.zone;
    gridPoints.push_back({point.x, point.y, zone});
  }
  results.back = BatchConverter({gridSide, geographic, grid.zoneWidth}).convert(gridPoints);
  return results;
}

Row gridRow(const DemoGrid& grid, const SamplePoint& sample, const ConvertedPoint& forward,
            const ConvertedPoint& back, const OutputPrecision& precision, bool& complete) {
  Row row;
  row[0] = std::to_string(grid.system) + " " + systemTitle(grid.system, grid.zoneWidth);
  if (forward.status != PointStatus::Converted) {
    complete = false;
    row[2] = describeFailure(forward.status);
    return row;
  }
  row[1] = std::to_string(forward.zone);
  row[2] = formatFixed(forward.x, precision.metres);
  row[3] = formatFixed(forward.y, precision.metres);
  if (back.status != PointStatus::Converted) {
    complete = false;
    row[4] = "failed";
    return row;
  }
  const double residual =
      groundDistance(sample.longitude, sample.latitude, back.x, back.y) * kMillimetresPerMetre;
  row[4] = formatFixed(residual, kResidualDecimals) + " mm";
  return row;
}

std::array<std::size_t, kColumns> columnWidths(const std::vector<std::vector<Row>>& blocks) {
  std::array<std::size_t, kColumns> widths{};
  auto widen = [&widths](const Row& row) {
    for (std::size_t column = 0; column < kColumns; ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  };
  widen(kHeader);
  for (const auto& block : blocks) std::for_each(block.begin(), block.end(), widen);
  return widths;
}

void printRow(std::ostream& output, const Row& row,
              const std::array<std::size_t, kColumns>& widths) {
  std::string line = kBlockIndent;
  for (std::size_t column = 0; column < kColumns; ++column) {
    if (column > 0) line += kColumnGap;
    const std::string padding(widths[column] - row[column].size(), ' ');
    line += kAlignment[column] == Align::Left ? row[column] + padding : padding + row[column];
  }
  line.erase(line.find_last_not_of(' ') + 1);
  output << line << '\n';
}

void printIntroduction(std::ostream& output, const OutputPrecision& precision) {
  output << "nuvex demo: sample points in Germany, converted from WGS84 longitude and latitude\n"
            "to the grid of each coordinate system and back. Metres to "
         << precision.metres << " decimals, degrees to " << precision.degrees
         << ".\n\"Round trip\" is how far the point converted back lies from the sample: "
            "the datum\nshifts between the systems are evaluated where the point is, so the "
            "way back\ndiffers by a few millimetres.\n";
}

}  // namespace

bool printDemo(std::ostream& output, const OutputPrecision& precision) {
  std::vector<GridResults> results;
  for (const DemoGrid& grid : kGrids) results.push_back(convertSamples(grid));

  bool complete = true;
  std::vector<std::vector<Row>> blocks(kSamples.size());
  for (std::size_t sample = 0; sample < kSamples.size(); ++sample) {
    for (std::size_t grid = 0; grid < kGrids.size(); ++grid) {
      blocks[sample].push_back(gridRow(kGrids[grid], kSamples[sample],
                                       results[grid].forward[sample], results[grid].back[sample],
                                       precision, complete));
    }
  }

  const auto widths = columnWidths(blocks);
  printIntroduction(output, precision);
  for (std::size_t sample = 0; sample < kSamples.size(); ++sample) {
    const SamplePoint& point = kSamples[sample];
    output << '\n'
           << point.name << "  (longitude " << formatFixed(point.longitude, precision.degrees)
           << ", latitude " << formatFixed(point.latitude, precision.degrees) << ")\n";
    printRow(output, kHeader, widths);
    for (const Row& row : blocks[sample]) printRow(output, row, widths);
  }
  return complete;
}

}  // namespace nuvex::cli
