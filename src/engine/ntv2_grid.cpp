// The NTv2 reader and the grid shift. Every field is read through ByteReader, which checks the
// offset against the file's size first: a truncated or lying header is an error, never a read
// past the bytes.
#include "engine/ntv2_grid.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <numbers>
#include <stdexcept>

namespace nuvex::engine {
namespace {

constexpr std::size_t kRecordSize = 16;  // bytes: an 8-byte key, then an 8-byte value
constexpr std::size_t kKeySize = 8;
constexpr int kHeaderRecords = 11;  // NUM_OREC and NUM_SREC of every NTv2 file
constexpr std::size_t kHeaderSize = kRecordSize * kHeaderRecords;
constexpr std::size_t kNodeSize = 16;  // four 4-byte floats: lat, lon shift, lat, lon accuracy

// Record positions in the overview header and in each sub-grid header.
enum OverviewRecord { kNumOrec = 0, kNumSrec = 1, kNumFile = 2, kGsType = 3 };
enum SubGridRecord {
  kSubName = 0,
  kParent = 1,
  kSouthLatitude = 4,
  kNorthLatitude = 5,
  kEastLongitude = 6,  // positive west, arc seconds, as all four edges and both steps
  kWestLongitude = 7,
  kLatitudeStep = 8,
  kLongitudeStep = 9,
  kGsCount = 10
};

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
constexpr double kArcSecondsPerDegree = 3600.0;
constexpr double kRadiansPerArcSecond = kRadiansPerDegree / kArcSecondsPerDegree;
// More nodes than any real grid has; keeps every size computation far from overflow.
constexpr double kMaxNodesPerSide = 1.0e7;

// A point this many (latitude step + longitude step) outside a sub-grid still belongs to it and
// takes the shift of the nearest edge, as in the reference implementation: about 0.3 m for a
// grid of 6' x 10'.
constexpr double kEdgeTolerance = 1e-5;

constexpr int kMaxInverseIterations = 10;
constexpr double kInverseTolerance = 1e-12;  // rad

class ByteReader {
 public:
  ByteReader(const unsigned char* bytes, std::size_t size, const std::string& origin, bool swap)
      : bytes_(bytes), size_(size), origin_(origin), swap_(swap) {}

  void require(std::size_t offset, std::size_t length, const std::string& what) const {
    if (offset > size_ || length > size_ - offset) {
      fail("truncated: " + what + " needs bytes " + std::to_string(offset) + ".." +
           std::to_string(offset + length) + " but the file has " + std::to_string(size_));
    }
  }

  std::string text(std::size_t offset, std::size_t length) const {
    require(offset, length, "a text field");
    std::string s(reinterpret_cast<const char*>(bytes_ + offset), length);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s;
  }

  std::int32_t int32(std::size_t offset) const {
    return value<std::int32_t, std::uint32_t>(offset);
  }
  double float64(std::size_t offset) const { return value<double, std::uint64_t>(offset); }
  float float32(std::size_t offset) const { return value<float, std::uint32_t>(offset); }

  [[noreturn]] void fail(const std::string& what) const {
    throw std::invalid_argument("NTv2 grid " + origin_ + ": " + what);
  }

  std::size_t size() const { return size_; }

 private:
  // Little-endian host order is assumed only through `swap`, which the caller derives from the
  // file's own NUM_OREC; the bytes are assembled in file order either way.
  template <typename Word>
  void copy(std::size_t offset, Word* word, std::size_t length) const {
    require(offset, length, "a number");
    Word value = 0;
    for (std::size_t i = 0; i < length; ++i) {
      const std::size_t source = swap_ ? offset + length - 1 - i : offset + i;
      value |= static_cast<Word>(bytes_[source]) << (8 * i);
    }
    *word = value;
  }

  // The number of type T whose bits, of the same size, are stored at offset.
  template <typename T, typename Word>
  T value(std::size_t offset) const {
    static_assert(sizeof(T) == sizeof(Word));
    Word bits = 0;
    copy(offset, &bits, sizeof bits);
    return std::bit_cast<T>(bits);
  }

  const unsigned char* bytes_;
  std::size_t size_;
  const std::string& origin_;
  bool swap_;
};

std::size_t valueOffset(std::size_t header, int record) {
  return header + kRecordSize * static_cast<std::size_t>(record) + kKeySize;
}

void expectKey(const ByteReader& in, std::size_t header, int record, const char* key,
               const std::string& where) {
  const std::string found =
      in.text(header + kRecordSize * static_cast<std::size_t>(record), kKeySize);
  if (found != key) in.fail(where + ": expected the key " + key + ", found '" + found + "'");
}

// Byte order from NUM_OREC, which is 11 in every NTv2 file: the value's first byte is 11 in a
// little-endian file, its fourth in a big-endian one.
bool bigEndianFile(const unsigned char* bytes, std::size_t size, const std::string& origin) {
  const ByteReader probe(bytes, size, origin, false);
  probe.require(0, kHeaderSize, "the overview header");
  expectKey(probe, 0, kNumOrec, "NUM_OREC", "overview header");
  const unsigned char* v = bytes + kKeySize;
  if (v[0] == kHeaderRecords && v[1] == 0 && v[2] == 0 && v[3] == 0) return false;
  if (v[0] == 0 && v[1] == 0 && v[2] == 0 && v[3] == kHeaderRecords) return true;
  probe.fail("NUM_OREC is not 11 in either byte order: not an NTv2 file");
}

bool contains(const Ntv2SubGrid& grid, Radians p) {
  const double t = grid.edgeTolerance;
  return p.latitude >= grid.south - t && p.latitude <= grid.north + t &&
         p.longitude >= grid.west - t && p.longitude <= grid.east + t;
}

// One axis of the cell lookup: the cell index and the fraction within it, or false outside the
// nodes by more than the tolerance (rad). Within it, the point takes the edge node's value.
bool cellOf(double offset, double step, double tolerance, int nodes, int& index, double& fraction) {
  const double scaled = offset / step;
  const double last = static_cast<double>(nodes - 1);
  const double slack = tolerance / step;
  if (!(scaled >= -slack && scaled <= last + slack)) return false;  // NaN: outside too
  if (scaled < 0.0) {
    index = 0;
    fraction = 0.0;
  } else if (scaled >= last) {
    index = nodes - 2;
    fraction = 1.0;
  } else {
    const double cell = std::floor(scaled);
    index = static_cast<int>(cell);
    fraction = scaled - cell;
  }
  return true;
}

}  // namespace

Ntv2Grid::Ntv2Grid(const unsigned char* bytes, std::size_t size, const std::string& origin)
    : origin_(origin) {
  const ByteReader in(bytes, size, origin_, bigEndianFile(bytes, size, origin_));
  expectKey(in, 0, kNumSrec, "NUM_SREC", "overview header");
  expectKey(in, 0, kNumFile, "NUM_FILE", "overview header");
  expectKey(in, 0, kGsType, "GS_TYPE", "overview header");
  if (in.int32(valueOffset(0, kNumSrec)) != kHeaderRecords) {
    in.fail("NUM_SREC is " + std::to_string(in.int32(valueOffset(0, kNumSrec))) + ", not 11");
  }
  const std::string type = in.text(valueOffset(0, kGsType), kKeySize);
  if (type != "SECONDS") in.fail("GS_TYPE is '" + type + "'; only SECONDS is supported");
  const std::int32_t count = in.int32(valueOffset(0, kNumFile));
  // Each sub-grid takes at least its header: a count the bytes cannot hold is a lie.
  if (count < 1 || static_cast<std::size_t>(count) > (size - kHeaderSize) / kHeaderSize) {
    in.fail("NUM_FILE is " + std::to_string(count) + ", which the file's " + std::to_string(size) +
            " bytes cannot hold");
  }

  std::size_t header = kHeaderSize;
  for (std::int32_t index = 0; index < count; ++index) {
    const std::string where = "sub-grid " + std::to_string(index + 1);
    in.require(header, kHeaderSize, where + " header");
    expectKey(in, header, kSubName, "SUB_NAME", where);
    expectKey(in, header, kParent, "PARENT", where);
    expectKey(in, header, kGsCount, "GS_COUNT", where);
    Ntv2SubGrid grid;
    grid.name = in.text(valueOffset(header, kSubName), kKeySize);
    const std::string parent = in.text(valueOffset(header, kParent), kKeySize);
    const std::string named = where + " (" + grid.name + ")";

    const double south = in.float64(valueOffset(header, kSouthLatitude));
    const double north = in.float64(valueOffset(header, kNorthLatitude));
    const double eastWest = in.float64(valueOffset(header, kEastLongitude));
    const double westWest = in.float64(valueOffset(header, kWestLongitude));
    const double latitudeStep = in.float64(valueOffset(header, kLatitudeStep));
    const double longitudeStep = in.float64(valueOffset(header, kLongitudeStep));
    for (double v : {south, north, eastWest, westWest, latitudeStep, longitudeStep}) {
      if (!std::isfinite(v)) in.fail(named + ": an edge or step is not a finite number");
    }
    if (!(latitudeStep > 0.0 && longitudeStep > 0.0)) {
      in.fail(named + ": the steps must be positive");
    }
    if (!(north > south && westWest > eastWest)) {
      in.fail(named + ": the edges enclose no area (N_LAT must exceed S_LAT, W_LONG E_LONG)");
    }
    const double columns = std::floor((westWest - eastWest) / longitudeStep + 0.5) + 1.0;
    const double rows = std::floor((north - south) / latitudeStep + 0.5) + 1.0;
    // Two nodes a side at least: interpolation reads a cell's far nodes.
    if (!(columns >= 2.0 && rows >= 2.0)) in.fail(named + ": fewer than two nodes on a side");
    if (!(columns <= kMaxNodesPerSide && rows <= kMaxNodesPerSide)) {
      in.fail(named + ": more than " + std::to_string(kMaxNodesPerSide) + " nodes on a side");
    }
    grid.columns = static_cast<int>(columns);
    grid.rows = static_cast<int>(rows);
    const std::int32_t nodes = in.int32(valueOffset(header, kGsCount));
    if (static_cast<double>(nodes) != columns * rows) {
      in.fail(named + ": GS_COUNT is " + std::to_string(nodes) + " but the edges and steps give " +
              std::to_string(grid.rows) + " rows of " + std::to_string(grid.columns) + " nodes");
    }
    const auto nodeCount = static_cast<std::size_t>(nodes);
    const std::size_t first = header + kHeaderSize;
    in.require(first, nodeCount * kNodeSize, named + "'s " + std::to_string(nodes) + " nodes");

    grid.west = -westWest * kRadiansPerDegree / kArcSecondsPerDegree;
    grid.east = -eastWest * kRadiansPerDegree / kArcSecondsPerDegree;
    grid.south = south * kRadiansPerDegree / kArcSecondsPerDegree;
    grid.north = north * kRadiansPerDegree / kArcSecondsPerDegree;
    grid.longitudeStep = longitudeStep * kRadiansPerDegree / kArcSecondsPerDegree;
    grid.latitudeStep = latitudeStep * kRadiansPerDegree / kArcSecondsPerDegree;
    grid.edgeTolerance = (grid.longitudeStep + grid.latitudeStep) * kEdgeTolerance;
    grid.shifts.resize(2 * nodeCount);
    const auto columnCount = static_cast<std::size_t>(grid.columns);
    for (std::size_t node = 0; node < nodeCount; ++node) {
      const std::size_t offset = first + node * kNodeSize;
      const float latitudeShift = in.float32(offset);
      const float westShift = in.float32(offset + 4);
      if (!std::isfinite(latitudeShift) || !std::isfinite(westShift)) {
        in.fail(named + ": node " + std::to_string(node + 1) + " has a non-finite shift");
      }
      // Each row of the file runs from the east; ours from the west.
      const std::size_t row = node / columnCount, fromEast = node % columnCount;
      const std::size_t target = row * columnCount + (columnCount - 1 - fromEast);
      grid.shifts[2 * target] = static_cast<float>(latitudeShift * kRadiansPerArcSecond);
      grid.shifts[2 * target + 1] = -static_cast<float>(westShift * kRadiansPerArcSecond);
    }

    const std::size_t self = subGrids_.size();
    if (parent == "NONE") {
      topLevel_.push_back(self);
    } else {
      std::size_t p = 0;
      while (p < self && subGrids_[p].name != parent) ++p;
      if (p == self) in.fail(named + ": its PARENT '" + parent + "' is no earlier sub-grid");
      subGrids_[p].children.push_back(self);
    }
    subGrids_.push_back(std::move(grid));
    header = first + nodeCount * kNodeSize;
  }
}

Ntv2Grid Ntv2Grid::fromFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::invalid_argument("NTv2 grid " + path + ": cannot be opened");
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
  if (file.bad()) throw std::invalid_argument("NTv2 grid " + path + ": cannot be read");
  return Ntv2Grid(bytes.data(), bytes.size(), path);
}

const Ntv2SubGrid* Ntv2Grid::subGridAt(Radians point) const {
  const std::vector<std::size_t>* candidates = &topLevel_;
  const Ntv2SubGrid* found = nullptr;
  for (bool descended = true; descended;) {
    descended = false;
    for (std::size_t index : *candidates) {
      const Ntv2SubGrid& grid = subGrids_[index];
      if (contains(grid, point)) {
        found = &grid;
        candidates = &grid.children;
        descended = true;
        break;
      }
    }
  }
  return found;
}

bool Ntv2Grid::interpolate(const Ntv2SubGrid& grid, Radians point, Radians& shift) {
  int column = 0, row = 0;
  double x = 0.0, y = 0.0;
  if (!cellOf(point.longitude - grid.west, grid.longitudeStep, grid.edgeTolerance, grid.columns,
              column, x) ||
      !cellOf(point.latitude - grid.south, grid.latitudeStep, grid.edgeTolerance, grid.rows, row,
              y)) {
    return false;
  }
  const auto columns = static_cast<std::size_t>(grid.columns);
  const float* f00 = grid.shifts.data() + 2 * (static_cast<std::size_t>(row) * columns +
                                               static_cast<std::size_t>(column));
  const float* f10 = f00 + 2;
  const float* f01 = f00 + 2 * columns;
  const float* f11 = f01 + 2;
  // The weights in the order the reference implementation forms them (same rounding).
  double m11 = x, m10 = x;
  double m00 = 1.0 - x, m01 = 1.0 - x;
  m11 *= y;
  m01 *= y;
  const double yc = 1.0 - y;
  m00 *= yc;
  m10 *= yc;
  shift.latitude = m00 * f00[0] + m10 * f10[0] + m01 * f01[0] + m11 * f11[0];
  shift.longitude = m00 * f00[1] + m10 * f10[1] + m01 * f01[1] + m11 * f11[1];
  return true;
}

bool Ntv2Grid::shiftForward(Radians& point) const {
  const Ntv2SubGrid* grid = subGridAt(point);
  Radians shift{};
  if (grid == nullptr || !interpolate(*grid, point, shift)) return false;
  point.longitude += shift.longitude;
  point.latitude += shift.latitude;
  return true;
}

bool Ntv2Grid::shiftInverse(Radians& point) const {
  const Ntv2SubGrid* grid = subGridAt(point);
  Radians shift{};
  if (grid == nullptr || !interpolate(*grid, point, shift)) return false;
  Radians guess{point.longitude - shift.longitude, point.latitude - shift.latitude};
  double difference = std::numeric_limits<double>::infinity();
  int iterations = kMaxInverseIterations;
  do {
    Radians step{};
    if (!interpolate(*grid, guess, step)) {
      // The guess has left this sub-grid: go on in the one that holds it, if any. A guess
      // outside the whole grid has no path (no first approximation is passed off as a result).
      const Ntv2SubGrid* next = subGridAt(guess);
      if (next == nullptr || next == grid) return false;
      grid = next;
      difference = std::numeric_limits<double>::infinity();
      continue;
    }
    const double dLongitude = guess.longitude + step.longitude - point.longitude;
    const double dLatitude = guess.latitude + step.latitude - point.latitude;
    guess.longitude -= dLongitude;
    guess.latitude -= dLatitude;
    difference = dLongitude * dLongitude + dLatitude * dLatitude;
  } while (--iterations != 0 && difference > kInverseTolerance * kInverseTolerance);
  if (iterations == 0) return false;
  point = guess;
  return true;
}

}  // namespace nuvex::engine
