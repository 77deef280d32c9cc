// The NTv2 reader and the grid shift. Every field is read through a Reader, which checks the
// offset against the size of the bytes or the file first: a truncated or lying header is an
// error, never a read past the end. The headers are walked and checked before any node is read,
// so that nothing is allocated for nodes that the file does not hold.
#include "engine/ntv2_grid.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <numbers>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "engine/printable_text.h"

namespace nuvex::engine {

// Where the reader takes its bytes from: the bytes of a file in memory, or the file itself.
class Ntv2Grid::ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::size_t size() const = 0;
  // The `length` bytes at `offset`, which the caller has found within size(); valid until the
  // next call.
  virtual const unsigned char* bytes(std::size_t offset, std::size_t length) const = 0;
};

namespace {

constexpr std::size_t kRecordSize = 16;  // bytes: an 8-byte key, then an 8-byte value
constexpr std::size_t kKeySize = 8;
constexpr int kHeaderRecords = 11;  // NUM_OREC and NUM_SREC of every NTv2 file
constexpr std::size_t kHeaderSize = kRecordSize * kHeaderRecords;
constexpr std::size_t kNodeSize = 16;  // four 4-byte floats: lat, lon shift, lat, lon accuracy

// Record positions in the overview header and in each sub-grid header.
enum OverviewRecord {
  kNumOrec = 0,
  kNumSrec = 1,
  kNumFile = 2,
  kGsType = 3,
  kSystemFrom = 5,
  kSystemTo = 6,
  kMajorFrom = 7,
  kMinorFrom = 8,
  kMajorTo = 9,
  kMinorTo = 10
};
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
constexpr double kMaxLatitudeSeconds = 90.0 * kArcSecondsPerDegree;
constexpr double kMaxLongitudeSeconds = 180.0 * kArcSecondsPerDegree;
// More nodes than any real grid has; keeps every size computation far from overflow.
constexpr double kMaxNodesPerSide = 1.0e7;
// How far (in steps) the edges may be from a whole number of steps apart: rounding in the
// program that wrote the file, no more.
constexpr double kWholeStepTolerance = 1e-4;

std::string errorText(const std::string& origin, const std::string& what) {
  return "NTv2 grid " + origin + ": " + what;
}

// A number of the header as a message shows it (shortest of up to 10 significant digits).
std::string shown(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

class MemorySource final : public Ntv2Grid::ByteSource {
 public:
  MemorySource(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  std::size_t size() const override { return size_; }
  const unsigned char* bytes(std::size_t offset, std::size_t) const override {
    return bytes_ + offset;
  }

 private:
  const unsigned char* bytes_;
  std::size_t size_;
};

// A regular file, read piece by piece where the reader asks. Anything else under the path (a
// directory, a device such as /dev/zero, a pipe that would block, a socket) is refused before it
// is opened.
class FileSource final : public Ntv2Grid::ByteSource {
 public:
  explicit FileSource(const std::string& path) : path_(path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found || status.type() == fs::file_type::none) {
      fail("cannot be opened");
    }
    if (status.type() == fs::file_type::directory) fail("is a directory, not a grid file");
    if (status.type() != fs::file_type::regular) {
      fail("is not a regular file (a device, pipe or socket); a grid is read from a file");
    }
    const std::uintmax_t size = fs::file_size(path, error);
    if (error) fail("cannot be read: " + error.message());
    if (size > std::numeric_limits<std::size_t>::max()) fail("is too large to read");
    size_ = static_cast<std::size_t>(size);
    file_.open(path, std::ios::binary);
    if (!file_) fail("cannot be opened");
  }

  std::size_t size() const override { return size_; }

  const unsigned char* bytes(std::size_t offset, std::size_t length) const override {
    buffer_.resize(length);
    file_.seekg(static_cast<std::streamoff>(offset));
    file_.read(reinterpret_cast<char*>(buffer_.data()), static_cast<std::streamsize>(length));
    if (!file_ || file_.gcount() != static_cast<std::streamsize>(length)) {
      fail("cannot be read: bytes " + std::to_string(offset) + ".." +
           std::to_string(offset + length) + " of its " + std::to_string(size_) +
           " are missing (did the file change while it was read?)");
    }
    return buffer_.data();
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw std::invalid_argument(errorText(path_, what));
  }

  std::string path_;
  std::size_t size_ = 0;
  // Reading moves the stream and refills the buffer; neither is part of what the source is.
  mutable std::ifstream file_;
  mutable std::vector<unsigned char> buffer_;
};

// The fields of one header or node block as read, decoded in the file's byte order.
class Fields {
 public:
  Fields(const unsigned char* bytes, bool bigEndian) : bytes_(bytes), bigEndian_(bigEndian) {}

  // A text field, trailing blanks and NULs removed.
  std::string text(std::size_t offset, std::size_t length) const {
    std::string s(reinterpret_cast<const char*>(bytes_ + offset), length);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
    return s;
  }
  std::string key(int record) const { return text(recordOffset(record), kKeySize); }
  std::string textValue(int record) const { return text(valueOffset(record), kKeySize); }
  std::int32_t intValue(int record) const {
    return value<std::int32_t, std::uint32_t>(valueOffset(record));
  }
  double doubleValue(int record) const { return value<double, std::uint64_t>(valueOffset(record)); }
  float float32(std::size_t offset) const { return value<float, std::uint32_t>(offset); }

 private:
  static std::size_t recordOffset(int record) {
    return kRecordSize * static_cast<std::size_t>(record);
  }
  static std::size_t valueOffset(int record) { return recordOffset(record) + kKeySize; }

  // The number of type T whose bits, of the same size, are stored at offset. The bytes are
  // assembled in file order whatever the host's order.
  template <typename T, typename Word>
  T value(std::size_t offset) const {
    static_assert(sizeof(T) == sizeof(Word));
    Word bits = 0;
    for (std::size_t i = 0; i < sizeof bits; ++i) {
      const std::size_t source = bigEndian_ ? offset + sizeof bits - 1 - i : offset + i;
      bits |= static_cast<Word>(bytes_[source]) << (8 * i);
    }
    return std::bit_cast<T>(bits);
  }

  const unsigned char* bytes_;
  bool bigEndian_;
};

class Reader {
 public:
  Reader(const Ntv2Grid::ByteSource& source, const std::string& origin)
      : source_(source), origin_(origin) {}

  void require(std::size_t offset, std::size_t length, const std::string& what) const {
    const std::size_t size = source_.size();
    if (offset > size || length > size - offset) {
      fail("truncated: the file's " + std::to_string(size) + " bytes end before " + what +
           " (bytes " + std::to_string(offset) + ".." + std::to_string(offset + length) + ")");
    }
  }

  // The fields at offset, after require(); valid until the next read.
  Fields read(std::size_t offset, std::size_t length, const std::string& what,
              bool bigEndian) const {
    require(offset, length, what);
    return Fields(source_.bytes(offset, length), bigEndian);
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw std::invalid_argument(errorText(origin_, what));
  }

  std::size_t size() const { return source_.size(); }

 private:
  const Ntv2Grid::ByteSource& source_;
  const std::string& origin_;
};

void expectKey(const Reader& in, const Fields& fields, int record, const char* key,
               const std::string& where) {
  const std::string found = fields.key(record);
  if (found != key) {
    in.fail(where + ": expected the key " + key + ", found '" + printableText(found) + "'");
  }
}

// Byte order from NUM_OREC, which is 11 in every NTv2 file: the value's first byte is 11 in a
// little-endian file, its fourth in a big-endian one.
bool bigEndianFile(const Reader& in, const unsigned char* overview) {
  expectKey(in, Fields(overview, false), kNumOrec, "NUM_OREC", "overview header");
  const unsigned char* v = overview + kKeySize;
  if (v[0] == kHeaderRecords && v[1] == 0 && v[2] == 0 && v[3] == 0) return false;
  if (v[0] == 0 && v[1] == 0 && v[2] == 0 && v[3] == kHeaderRecords) return true;
  in.fail("NUM_OREC is not 11 in either byte order: not an NTv2 file");
}

// One sub-grid header as checked, before its nodes are read.
struct SubGridHeader {
  std::string name, parent;
  std::string named;                        // "sub-grid N (NAME)" for messages
  double south, north, eastWest, westWest;  // arc seconds, longitudes positive west
  double latitudeStep, longitudeStep;       // arc seconds
  int columns, rows;
  std::size_t nodes;
  std::size_t firstNode;  // byte offset of the first node
  bool topLevel;
  std::size_t parentIndex;  // of the parent when not top level
};

// The node count along one side: the edges must be a whole number of steps apart (within
// rounding), so that the last node lies on the far edge. `span` names the side's keys.
int nodesAlong(const Reader& in, const std::string& named, double near, double far, double step,
               const char* span) {
  const double steps = (far - near) / step;
  if (!(steps <= kMaxNodesPerSide)) {
    in.fail(named + ": more than " + shown(kMaxNodesPerSide) + " nodes on a side");
  }
  const double whole = std::round(steps);
  if (whole < 1.0) in.fail(named + ": fewer than two nodes on a side");
  if (std::fabs(steps - whole) > kWholeStepTolerance) {
    in.fail(named + ": its edges are not a whole number of steps apart (" + span + " is " +
            shown(steps) + " steps); the last nodes would not lie on the edges");
  }
  return static_cast<int>(whole) + 1;
}

SubGridHeader readSubGridHeader(const Reader& in, const Fields& f, std::int32_t index,
                                std::size_t offset) {
  const std::string where = "sub-grid " + std::to_string(index + 1);
  expectKey(in, f, kSubName, "SUB_NAME", where);
  expectKey(in, f, kParent, "PARENT", where);
  expectKey(in, f, kGsCount, "GS_COUNT", where);
  SubGridHeader h{};
  h.name = f.textValue(kSubName);
  h.parent = f.textValue(kParent);
  h.named = where + " (" + printableText(h.name) + ")";
  const std::string& named = h.named;

  h.south = f.doubleValue(kSouthLatitude);
  h.north = f.doubleValue(kNorthLatitude);
  h.eastWest = f.doubleValue(kEastLongitude);
  h.westWest = f.doubleValue(kWestLongitude);
  h.latitudeStep = f.doubleValue(kLatitudeStep);
  h.longitudeStep = f.doubleValue(kLongitudeStep);
  for (double v : {h.south, h.north, h.eastWest, h.westWest, h.latitudeStep, h.longitudeStep}) {
    if (!std::isfinite(v)) in.fail(named + ": an edge or step is not a finite number");
  }
  if (std::fabs(h.south) > kMaxLatitudeSeconds || std::fabs(h.north) > kMaxLatitudeSeconds ||
      std::fabs(h.eastWest) > kMaxLongitudeSeconds ||
      std::fabs(h.westWest) > kMaxLongitudeSeconds) {
    in.fail(named + ": its edges (S_LAT " + shown(h.south) + ", N_LAT " + shown(h.north) +
            ", E_LONG " + shown(h.eastWest) + ", W_LONG " + shown(h.westWest) +
            " arc seconds) lie beyond 90 deg of latitude or 180 deg of longitude");
  }
  if (!(h.latitudeStep > 0.0 && h.longitudeStep > 0.0)) {
    in.fail(named + ": the steps must be positive");
  }
  if (!(h.north > h.south && h.westWest > h.eastWest)) {
    in.fail(named + ": the edges enclose no area (N_LAT must exceed S_LAT, W_LONG E_LONG)");
  }
  h.columns = nodesAlong(in, named, h.eastWest, h.westWest, h.longitudeStep, "W_LONG - E_LONG");
  h.rows = nodesAlong(in, named, h.south, h.north, h.latitudeStep, "N_LAT - S_LAT");
  const std::int32_t nodes = f.intValue(kGsCount);
  if (static_cast<double>(nodes) != static_cast<double>(h.columns) * h.rows) {
    in.fail(named + ": GS_COUNT is " + std::to_string(nodes) + " but the edges and steps give " +
            std::to_string(h.rows) + " rows of " + std::to_string(h.columns) + " nodes");
  }
  h.nodes = static_cast<std::size_t>(nodes);
  h.firstNode = offset + kHeaderSize;
  in.require(h.firstNode, h.nodes * kNodeSize, named + "'s " + std::to_string(nodes) + " nodes");
  return h;
}

bool contains(const Ntv2SubGrid& grid, Radians p) {
  const double t = grid.edgeTolerance;
  return p.latitude >= grid.south - t && p.latitude <= grid.north + t &&
         p.longitude >= grid.west - t && p.longitude <= grid.east + t;
}

// Whether a shifted point is still a point: within +-90 deg of latitude and +-180 deg of
// longitude (a grid's shifts can be of any size; a result beyond is no result).
bool onTheEllipsoid(Radians p) {
  return std::fabs(p.latitude) <= std::numbers::pi / 2 &&
         std::fabs(p.longitude) <= std::numbers::pi;
}

}  // namespace

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

Ntv2Grid::Ntv2Grid(const unsigned char* bytes, std::size_t size, const std::string& origin)
    : Ntv2Grid(MemorySource(bytes, size), origin) {}

Ntv2Grid::Ntv2Grid(const ByteSource& source, const std::string& origin) : origin_(origin) {
  const Reader in(source, origin_);
  in.require(0, kHeaderSize, "the overview header");
  const unsigned char* overview = source.bytes(0, kHeaderSize);
  const bool bigEndian = bigEndianFile(in, overview);
  const Fields o(overview, bigEndian);
  expectKey(in, o, kNumSrec, "NUM_SREC", "overview header");
  expectKey(in, o, kNumFile, "NUM_FILE", "overview header");
  expectKey(in, o, kGsType, "GS_TYPE", "overview header");
  if (o.intValue(kNumSrec) != kHeaderRecords) {
    in.fail("NUM_SREC is " + std::to_string(o.intValue(kNumSrec)) + ", not 11");
  }
  const std::string type = o.textValue(kGsType);
  if (type != "SECONDS") {
    in.fail("GS_TYPE is '" + printableText(type) + "'; only SECONDS is supported");
  }
  datums_ = {o.textValue(kSystemFrom),  o.textValue(kSystemTo),  o.doubleValue(kMajorFrom),
             o.doubleValue(kMinorFrom), o.doubleValue(kMajorTo), o.doubleValue(kMinorTo)};
  const std::int32_t count = o.intValue(kNumFile);
  // Each sub-grid takes at least its header: a count the bytes cannot hold is a lie.
  const std::size_t size = in.size();
  if (count < 1 || static_cast<std::size_t>(count) > (size - kHeaderSize) / kHeaderSize) {
    in.fail("NUM_FILE is " + std::to_string(count) + ", which the file's " + std::to_string(size) +
            " bytes cannot hold");
  }

  // First every header, each parent found by name: the nodes all of them declare lie within the
  // bytes before any is read.
  std::vector<SubGridHeader> headers;
  headers.reserve(static_cast<std::size_t>(count));
  std::unordered_map<std::string, std::size_t> byName;  // the first sub-grid of each name
  byName.reserve(static_cast<std::size_t>(count));
  std::size_t offset = kHeaderSize;
  for (std::int32_t index = 0; index < count; ++index) {
    const std::string what = "sub-grid " + std::to_string(index + 1) + " header";
    SubGridHeader h =
        readSubGridHeader(in, in.read(offset, kHeaderSize, what, bigEndian), index, offset);
    h.topLevel = h.parent == "NONE";
    if (!h.topLevel) {
      const auto found = byName.find(h.parent);
      if (found == byName.end()) {
        in.fail(h.named + ": its PARENT '" + printableText(h.parent) + "' is no earlier sub-grid");
      }
      h.parentIndex = found->second;
    }
    byName.emplace(h.name, headers.size());
    offset = h.firstNode + h.nodes * kNodeSize;
    headers.push_back(std::move(h));
  }

  subGrids_.reserve(headers.size());
  for (const SubGridHeader& h : headers) {
    Ntv2SubGrid grid;
    grid.name = h.name;
    grid.columns = h.columns;
    grid.rows = h.rows;
    // The east and north edges are those of the last nodes (a whole number of steps from the
    // west and south within rounding): the lookup and the interpolation agree on the extent.
    grid.west = -h.westWest * kRadiansPerArcSecond;
    grid.east = (-h.westWest + (h.columns - 1) * h.longitudeStep) * kRadiansPerArcSecond;
    grid.south = h.south * kRadiansPerArcSecond;
    grid.north = (h.south + (h.rows - 1) * h.latitudeStep) * kRadiansPerArcSecond;
    grid.longitudeStep = h.longitudeStep * kRadiansPerArcSecond;
    grid.latitudeStep = h.latitudeStep * kRadiansPerArcSecond;
    grid.edgeTolerance = (grid.longitudeStep + grid.latitudeStep) * kSubGridEdgeTolerance;
    const Fields nodes = in.read(h.firstNode, h.nodes * kNodeSize,
                                 h.named + "'s " + std::to_string(h.nodes) + " nodes", bigEndian);
    grid.shifts.resize(2 * h.nodes);
    const auto columnCount = static_cast<std::size_t>(grid.columns);
    for (std::size_t node = 0; node < h.nodes; ++node) {
      const std::size_t at = node * kNodeSize;
      const float latitudeShift = nodes.float32(at);
      const float westShift = nodes.float32(at + 4);
      if (!std::isfinite(latitudeShift) || !std::isfinite(westShift)) {
        in.fail(h.named + ": node " + std::to_string(node + 1) + " has a non-finite shift");
      }
      // Each row of the file runs from the east; ours from the west.
      const std::size_t row = node / columnCount, fromEast = node % columnCount;
      const std::size_t target = row * columnCount + (columnCount - 1 - fromEast);
      grid.shifts[2 * target] = static_cast<float>(latitudeShift * kRadiansPerArcSecond);
      grid.shifts[2 * target + 1] = -static_cast<float>(westShift * kRadiansPerArcSecond);
    }
    const std::size_t self = subGrids_.size();
    if (h.topLevel) {
      topLevel_.push_back(self);
    } else {
      subGrids_[h.parentIndex].children.push_back(self);
    }
    subGrids_.push_back(std::move(grid));
  }
}

Ntv2Grid::Ntv2Grid(std::string kind, std::string origin, Ntv2Datums datums,
                   std::vector<Ntv2SubGrid> subGrids, std::vector<std::size_t> topLevel)
    : kind_(std::move(kind)),
      origin_(std::move(origin)),
      datums_(std::move(datums)),
      subGrids_(std::move(subGrids)),
      topLevel_(std::move(topLevel)) {}

Ntv2Grid Ntv2Grid::fromFile(const std::string& path) {
  try {
    FileSource source(path);
    return Ntv2Grid(source, path);
  } catch (const std::invalid_argument&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw std::invalid_argument(errorText(path, "too large to hold in memory"));
  } catch (const std::exception& failure) {
    throw std::invalid_argument(errorText(path, std::string("cannot be read: ") + failure.what()));
  }
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
  const Radians moved{point.longitude + shift.longitude, point.latitude + shift.latitude};
  if (!onTheEllipsoid(moved)) return false;
  point = moved;
  return true;
}

bool Ntv2Grid::shiftInverse(Radians& point) const {
  const Ntv2SubGrid* grid = subGridAt(point);
  Radians shift{};
  if (grid == nullptr || !interpolate(*grid, point, shift)) return false;
  Radians guess{point.longitude - shift.longitude, point.latitude - shift.latitude};
  for (int iteration = 0; iteration < kMaxInverseIterations; ++iteration) {
    // The sub-grid the forward shift of the guess would take: where a child's shift differs
    // from its parent's, the guess may enter or leave the child. A guess outside the whole grid
    // has no path (no first approximation is passed off as a result).
    grid = subGridAt(guess);
    Radians step{};
    if (grid == nullptr || !interpolate(*grid, guess, step)) return false;
    const double dLongitude = guess.longitude + step.longitude - point.longitude;
    const double dLatitude = guess.latitude + step.latitude - point.latitude;
    guess.longitude -= dLongitude;
    guess.latitude -= dLatitude;
    if (dLongitude * dLongitude + dLatitude * dLatitude <= kInverseTolerance * kInverseTolerance) {
      if (!onTheEllipsoid(guess)) return false;
      point = guess;
      return true;
    }
  }
  return false;  // not settled within kMaxInverseIterations
}

}  // namespace nuvex::engine
