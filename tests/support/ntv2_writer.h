// Writes small synthetic NTv2 files for the grid tests: every header value as given (so that a
// test can make a file lie), the nodes from a function of their position. Values by
// construction; see tests/generators/official_datum/make_ntv2.py for the grids with reference
// values from PROJ.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nuvex::testing {

// One sub-grid, its header values as the file has them: arc seconds, longitudes positive west.
struct Ntv2SubGridSpec {
  std::string name = "GRID";
  std::string parent = "NONE";
  double south = 50.0 * 3600, north = 51.0 * 3600;          // S_LAT, N_LAT
  double eastWest = -11.0 * 3600, westWest = -10.0 * 3600;  // E_LONG, W_LONG (positive west)
  double latitudeStep = 0.25 * 3600, longitudeStep = 0.25 * 3600;
  // Nodes written (and GS_COUNT) per side; 0: from the edges and steps, rounded.
  int rows = 0, columns = 0;
  // Shift at a node (latitude, longitude of the node in arc seconds, longitude positive west):
  // {latitude shift, positive-west longitude shift} in arc seconds.
  std::function<std::pair<float, float>(double, double)> shift = [](double, double) {
    return std::pair<float, float>{0.5F, -1.0F};
  };
};

struct Ntv2Layout {
  bool bigEndian = false;
  std::string from = "DHDN", to = "ETRS89";  // SYSTEM_F, SYSTEM_T
  // Bessel 1841 to GRS80, as BeTA2007's header has them (m).
  double majorFrom = 6377397.155, minorFrom = 6356078.963;
  double majorTo = 6378137.0, minorTo = 6356752.314;
  std::vector<Ntv2SubGridSpec> subGrids{Ntv2SubGridSpec{}};
};

class Ntv2Writer {
 public:
  explicit Ntv2Writer(bool bigEndian) : bigEndian_(bigEndian) {}

  void text(const std::string& key, const std::string& value) {
    padded(key);
    padded(value);
  }
  void integer(const std::string& key, std::int32_t value) {
    padded(key);
    word(static_cast<std::uint32_t>(value), 4);
    word(0, 4);
  }
  void number(const std::string& key, double value) {
    padded(key);
    word(std::bit_cast<std::uint64_t>(value), 8);
  }
  void single(float value) { word(std::bit_cast<std::uint32_t>(value), 4); }

  std::vector<unsigned char>& bytes() { return bytes_; }

 private:
  void padded(const std::string& s) {
    for (std::size_t i = 0; i < 8; ++i) {
      bytes_.push_back(i < s.size() ? static_cast<unsigned char>(s[i]) : ' ');
    }
  }
  void word(std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
      const int shift = 8 * (bigEndian_ ? size - 1 - i : i);
      bytes_.push_back(static_cast<unsigned char>(value >> shift));
    }
  }

  bool bigEndian_;
  std::vector<unsigned char> bytes_;
};

inline std::vector<unsigned char> ntv2Bytes(const Ntv2Layout& layout) {
  Ntv2Writer w(layout.bigEndian);
  w.integer("NUM_OREC", 11);
  w.integer("NUM_SREC", 11);
  w.integer("NUM_FILE", static_cast<std::int32_t>(layout.subGrids.size()));
  w.text("GS_TYPE", "SECONDS");
  w.text("VERSION", "NTv2.0");
  w.text("SYSTEM_F", layout.from);
  w.text("SYSTEM_T", layout.to);
  w.number("MAJOR_F", layout.majorFrom);
  w.number("MINOR_F", layout.minorFrom);
  w.number("MAJOR_T", layout.majorTo);
  w.number("MINOR_T", layout.minorTo);
  for (const Ntv2SubGridSpec& g : layout.subGrids) {
    const int rows = g.rows > 0
                         ? g.rows
                         : static_cast<int>(std::lround((g.north - g.south) / g.latitudeStep)) + 1;
    const int columns =
        g.columns > 0
            ? g.columns
            : static_cast<int>(std::lround((g.westWest - g.eastWest) / g.longitudeStep)) + 1;
    w.text("SUB_NAME", g.name);
    w.text("PARENT", g.parent);
    w.text("CREATED", "01-01-24");
    w.text("UPDATED", "01-01-24");
    w.number("S_LAT", g.south);
    w.number("N_LAT", g.north);
    w.number("E_LONG", g.eastWest);
    w.number("W_LONG", g.westWest);
    w.number("LAT_INC", g.latitudeStep);
    w.number("LONG_INC", g.longitudeStep);
    w.integer("GS_COUNT", rows * columns);
    for (int row = 0; row < rows; ++row) {
      for (int column = 0; column < columns; ++column) {  // each row from the east
        const auto [latitudeShift, longitudeShift] =
            g.shift(g.south + row * g.latitudeStep, g.eastWest + column * g.longitudeStep);
        w.single(latitudeShift);
        w.single(longitudeShift);
        w.single(0.01F);
        w.single(0.01F);
      }
    }
  }
  w.number("END", 3.33e32);
  return std::move(w.bytes());
}

}  // namespace nuvex::testing
