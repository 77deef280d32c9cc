// nuvex._nuvex: the compiled part of the Python package. Array-likes arrive as contiguous float64
// arrays (pybind11's forcecast), are checked while the GIL is held, and are converted with the
// GIL released. The package's __init__.py re-exports everything defined here.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "array_conversion.h"
#include "nuvex/angles.h"
#include "nuvex/engine.h"
#include "output_arrays.h"

namespace py = pybind11;

namespace nuvex::python {
namespace {

using DoubleArray = py::array_t<double, py::array::c_style | py::array::forcecast>;
using IntArray = py::array_t<int, py::array::c_style>;
using Shape = std::vector<py::ssize_t>;

constexpr char kGeographicWgs84[] = "G:3";

// ---- Arguments ---------------------------------------------------------------------------------

// The array as a contiguous float64 array (itself when it is one). A conversion that fails, e.g.
// for want of memory, raises its error (DoubleArray::ensure would hand back a null array).
DoubleArray floatArray(const py::handle& array) {
  return DoubleArray(py::reinterpret_borrow<py::object>(array));
}

// Any array-like of real numbers (float or integer dtype) as a contiguous float64 array.
DoubleArray numericArray(const py::object& value, const std::string& name) {
  const py::array array = py::module_::import("numpy").attr("asarray")(value);
  const char kind = array.dtype().kind();
  if (kind != 'f' && kind != 'i' && kind != 'u') {
    throw py::type_error(name + " must hold numbers (a float or integer dtype), not " +
                         std::string(py::str(array.dtype())) + " values");
  }
  return floatArray(array);
}

// Whole numbers that fit an int (integer dtype, or floats without a fraction), as float64.
DoubleArray wholeNumberArray(const py::object& value, const std::string& name) {
  DoubleArray array = numericArray(value, name);
  const double* data = array.data();
  for (py::ssize_t i = 0; i < array.size(); ++i) {
    const double number = data[i];
    if (!(std::trunc(number) == number && number >= INT_MIN && number <= INT_MAX)) {
      throw py::value_error(name + " holds " + std::string(py::str(py::float_(number))) +
                            " at index " + std::to_string(i) + ", not a whole number of int range");
    }
  }
  return array;
}

Shape shapeOf(const py::array& array) {
  return Shape(array.shape(), array.shape() + array.ndim());
}

std::string shapeText(const py::array& array) {
  return py::str(py::tuple(py::cast(shapeOf(array))));
}

// One zone for every point, or one per point (same shape as the points), as int32 values.
IntArray inputZones(const py::object& zone, const DoubleArray& points) {
  const DoubleArray zones = wholeNumberArray(zone, "zone");
  const bool single = zones.ndim() == 0;
  if (!single && shapeOf(zones) != shapeOf(points)) {
    throw py::value_error("zone must be one zone or one per point: shape " + shapeText(zones) +
                          " against points of shape " + shapeText(points));
  }
  IntArray values = emptyArray<int>(shapeOf(points));
  int* value = values.mutable_data();
  const double* given = zones.data();
  for (py::ssize_t i = 0; i < points.size(); ++i) {
    value[i] = static_cast<int>(given[single ? 0 : i]);
  }
  return values;
}

unsigned threadCount(int threads) {
  if (threads < 0) {
    throw py::value_error("threads must be 0 (one per core) or more, not " +
                          std::to_string(threads));
  }
  if (threads > 0) return static_cast<unsigned>(threads);
  // Asked once: the count is read from the system each time, which would cost a small call
  // more than its conversion.
  static const unsigned cores = std::max(std::thread::hardware_concurrency(), 1U);
  return cores;
}

// A result for 0-d input is a numpy scalar, as numpy's own functions give.
py::object result(const py::array& array, bool scalar) {
  return scalar ? py::object(array[py::tuple()]) : py::object(array);
}

// The bytes an array's elements occupy (contiguous arrays: exactly its memory).
struct ByteRange {
  const char* begin;
  const char* end;
  bool overlaps(const ByteRange& other) const { return begin < other.end && other.begin < end; }
};

ByteRange bytesOf(const py::array& array) {
  const auto* begin = static_cast<const char*>(array.data());
  return {begin, begin + array.nbytes()};
}

// The caller's result arrays: (x, y, zone, status), float64, float64, int32, int32, or with
// heights (x, y, z, zone, status), z float64; each C-contiguous, writeable and of the points'
// shape, none sharing memory with another or with the input the conversion reads.
struct ResultArrays {
  py::array_t<double> x;
  py::array_t<double> y;
  py::array_t<int> zone;
  py::array_t<int> status;
  std::optional<py::array_t<double>> z;  // a call with heights only
};

template <typename T>
py::array_t<T> resultArray(const py::tuple& arrays, std::size_t index, const char* name,
                           const Shape& shape) {
  const std::string role = "out[" + std::to_string(index) + "] (" + name + ")";
  const py::object value = arrays[index];
  if (!py::isinstance<py::array>(value)) {
    throw py::type_error(role + " must be a numpy array, not " +
                         std::string(py::str(py::type::of(value).attr("__name__"))));
  }
  const auto array = py::reinterpret_borrow<py::array>(value);
  if (!array.dtype().is(py::dtype::of<T>())) {
    throw py::type_error(role + " must have dtype " + std::string(py::str(py::dtype::of<T>())) +
                         ", not " + std::string(py::str(array.dtype())));
  }
  if (shapeOf(array) != shape) {
    throw py::value_error(role + " has shape " + shapeText(array) + ", not the points' shape " +
                          std::string(py::str(py::tuple(py::cast(shape)))));
  }
  if ((array.flags() & py::array::c_style) == 0) {
    throw py::value_error(role + " must be C-contiguous");
  }
  if (!array.writeable()) throw py::value_error(role + " is read-only");
  return py::reinterpret_borrow<py::array_t<T>>(array);
}

ResultArrays callerResults(const py::object& out, const Shape& shape,
                           const std::vector<ByteRange>& inputs, bool withHeights) {
  const std::size_t count = withHeights ? 5 : 4;
  if (!py::isinstance<py::tuple>(out) || py::len(out) != count) {
    throw py::type_error(withHeights
                             ? "out must be a tuple of five arrays (x, y, z, zone, status) when z "
                               "is given"
                             : "out must be a tuple of four arrays (x, y, zone, status)");
  }
  const auto arrays = py::reinterpret_borrow<py::tuple>(out);
  const std::size_t zoneAt = count - 2;  // z, when given, comes before the zone
  auto x = resultArray<double>(arrays, 0, "x", shape);
  auto y = resultArray<double>(arrays, 1, "y", shape);
  std::optional<py::array_t<double>> z;
  if (withHeights) z = resultArray<double>(arrays, 2, "z", shape);
  ResultArrays results{x, y, resultArray<int>(arrays, zoneAt, "zone", shape),
                       resultArray<int>(arrays, zoneAt + 1, "status", shape), z};
  // In the tuple's order, so that a message's indices are the caller's.
  std::vector<ByteRange> written = {bytesOf(results.x), bytesOf(results.y)};
  if (z) written.push_back(bytesOf(*z));
  written.push_back(bytesOf(results.zone));
  written.push_back(bytesOf(results.status));
  for (std::size_t i = 0; i < written.size(); ++i) {
    for (std::size_t j = i + 1; j < written.size(); ++j) {
      if (written[i].overlaps(written[j])) {
        throw py::value_error("out[" + std::to_string(i) + "] and out[" + std::to_string(j) +
                              "] share memory");
      }
    }
    for (const ByteRange& input : inputs) {
      if (written[i].overlaps(input)) {
        throw py::value_error("out[" + std::to_string(i) +
                              "] shares memory with the input; give separate result arrays");
      }
    }
  }
  return results;
}

// Input zones as int32 values: the caller's own array when it is one per point already.
struct InputZones {
  IntArray array;
  const int* data = nullptr;
};

InputZones zonesFor(const py::object& zone, const DoubleArray& points) {
  if (py::isinstance<IntArray>(zone)) {
    auto array = py::reinterpret_borrow<IntArray>(zone);
    if ((array.flags() & py::array::c_style) != 0 && shapeOf(array) == shapeOf(points)) {
      return {array, array.data()};
    }
  }
  IntArray array = inputZones(zone, points);
  return {array, array.data()};
}

// ---- Epochs ------------------------------------------------------------------------------------

std::string numberText(double number) {
  return py::repr(py::float_(number));
}

// One epoch from 1990 to 2100, as a decimal year or a date (nuvex::parseEpoch); `role` names the
// argument in messages.
double singleEpoch(const py::handle& value, const std::string& role) {
  double epoch = 0.0;
  if (py::isinstance<py::str>(value)) {
    const auto text = value.cast<std::string>();
    const std::optional<double> parsed = parseEpoch(text);
    if (!parsed) {
      throw py::value_error(role + " '" + text +
                            "' is neither a decimal year (e.g. 2026.9) nor a date ('2026-12-07')");
    }
    epoch = *parsed;
  } else {
    const bool real = py::isinstance(value, py::module_::import("numbers").attr("Real")) &&
                      !py::isinstance<py::bool_>(value);
    if (!real) {
      throw py::type_error(
          role + " must be a decimal year (e.g. 2026.9) or a date ('2026-12-07'), not " +
          std::string(py::repr(value)) + "; epochs per point go to transform(x, y, epoch=...)");
    }
    epoch = value.cast<double>();
  }
  if (!isAcceptableEpoch(epoch)) {
    throw py::value_error(role + " " + numberText(epoch) + " is no decimal year from " +
                          numberText(kEarliestEpoch) + " to " + numberText(kLatestEpoch));
  }
  return epoch;
}

// "from EPSG:9990 to EPSG:31467": a Transformer's conversion in messages.
std::string conversionText(const ConversionSettings& settings) {
  return "from " + settings.sourceName + " to " + settings.targetName;
}

[[noreturn]] void refuseUnusedEpoch(const ConversionSettings& settings, const std::string& role) {
  throw py::value_error(role + ": the conversion " + conversionText(settings) +
                        " needs no epoch; only one between system 5 (ITRF2020) and another "
                        "system does");
}

// ITRF2020 moves against ETRS89 by some 2.5 cm a year in Germany: without the epoch a result
// would be off by decimetres, so a call without one is refused.
[[noreturn]] void refuseWithoutEpoch(const ConversionSettings& settings) {
  throw py::value_error("the conversion " + conversionText(settings) +
                        " runs between system 5 (ITRF2020) and another system and needs the "
                        "epoch of the points: give the Transformer epoch=2026.9 (a decimal year, "
                        "or a date such as '2026-12-07'; also in a name, 'EPSG:9990@2026.9'), or "
                        "transform(x, y, epoch=...) one per point");
}

// The points' epoch a Transformer keeps: epoch= or the names' (which must agree), where the
// conversion needs one; NaN otherwise. An epoch= the conversion does not use is refused, as
// grid= and geoid= are; a name's epoch only says when its coordinates hold.
double epochChoice(const ConversionSettings& settings, const py::object& epoch) {
  const bool needed = conversionNeedsEpoch(settings.from.system, settings.to.system);
  std::optional<double> given;
  if (!epoch.is_none()) {
    given = singleEpoch(epoch, "epoch");
    if (!needed) refuseUnusedEpoch(settings, "epoch=" + numberText(*given));
  }
  if (given && settings.namedEpoch && *given != *settings.namedEpoch) {
    throw py::value_error("epoch=" + numberText(*given) + " contradicts the epoch " +
                          numberText(*settings.namedEpoch) + " of " + settings.epochName);
  }
  if (!needed) return std::numeric_limits<double>::quiet_NaN();
  return given.value_or(settings.namedEpoch.value_or(std::numeric_limits<double>::quiet_NaN()));
}

// The epochs of a call: one per point (the points' own: NaN or out of range marks a point), one
// for every point (checked as the Transformer's), or none (the Transformer's, which a conversion
// that needs epochs must then have).
std::optional<DoubleArray> callEpochs(const ArrayConverter& converter, const py::object& epoch,
                                      const DoubleArray& x) {
  const ConversionSettings& settings = converter.settings();
  if (epoch.is_none()) {
    if (converter.needsEpoch() && !converter.hasEpoch()) refuseWithoutEpoch(settings);
    return std::nullopt;
  }
  if (!converter.needsEpoch()) refuseUnusedEpoch(settings, "epoch");
  std::optional<double> single;
  DoubleArray epochs;
  if (py::isinstance<py::str>(epoch)) {
    single = singleEpoch(epoch, "epoch");
  } else {
    epochs = numericArray(epoch, "epoch");
    if (epochs.ndim() == 0) single = singleEpoch(py::float_(epochs.data()[0]), "epoch");
  }
  if (single) {
    DoubleArray everyPoint(shapeOf(x));
    std::fill_n(everyPoint.mutable_data(), everyPoint.size(), *single);
    return everyPoint;
  }
  if (shapeOf(epochs) != shapeOf(x)) {
    throw py::value_error("epoch must be one epoch or one per point: shape " + shapeText(epochs) +
                          " against points of shape " + shapeText(x));
  }
  return epochs;
}

// ---- Conversion --------------------------------------------------------------------------------

// The points of a call: x and y (and z, when given) as float64 arrays of one shape, their zones
// if given, and their epochs if given.
struct CallPoints {
  DoubleArray x;
  DoubleArray y;
  InputZones zones;
  Shape shape;
  std::optional<DoubleArray> z;
  std::optional<DoubleArray> epoch;
};

// "dhhn2016 to ellipsoidal": a Transformer's heights in messages.
std::string heightsText(const ArrayConverter& converter);

// A Transformer that converts heights converts no point without one; one that does not carries
// them over.
std::optional<DoubleArray> callHeights(const ArrayConverter& converter, const py::object& z,
                                       const DoubleArray& x) {
  if (z.is_none()) {
    if (!converter.convertsHeights()) return std::nullopt;
    throw py::value_error("this Transformer converts heights (" + heightsText(converter) +
                          "): give them with z=");
  }
  DoubleArray heights = numericArray(z, "z");
  if (shapeOf(heights) != shapeOf(x)) {
    throw py::value_error("z must have the shape of x and y, not " + shapeText(heights) +
                          " against " + shapeText(x));
  }
  return heights;
}

CallPoints callPoints(const ArrayConverter& converter, const py::object& x, const py::object& y,
                      const py::object& zone, const py::object& z, const py::object& epoch) {
  CallPoints points{numericArray(x, "x"), numericArray(y, "y"), {}, {}, std::nullopt, std::nullopt};
  if (shapeOf(points.x) != shapeOf(points.y)) {
    throw py::value_error("x and y must have the same shape, not " + shapeText(points.x) + " and " +
                          shapeText(points.y));
  }
  points.shape = shapeOf(points.x);
  points.z = callHeights(converter, z, points.x);
  points.epoch = callEpochs(converter, epoch, points.x);
  if (!zone.is_none()) {
    converter.requireInputZones();
    points.zones = zonesFor(zone, points.x);
  }
  return points;
}

ResultArrays newResults(const Shape& shape, bool withHeights) {
  std::optional<py::array_t<double>> z;
  if (withHeights) z = emptyArray<double>(shape);
  return {emptyArray<double>(shape), emptyArray<double>(shape), emptyArray<int>(shape),
          emptyArray<int>(shape), z};
}

PointArrays pointArrays(const CallPoints& points, ResultArrays& results) {
  return {static_cast<std::size_t>(points.x.size()),
          points.x.data(),
          points.y.data(),
          points.zones.data,
          results.x.mutable_data(),
          results.y.mutable_data(),
          results.zone.mutable_data(),
          results.status.mutable_data(),
          points.z ? points.z->data() : nullptr,
          results.z ? results.z->mutable_data() : nullptr,
          points.epoch ? points.epoch->data() : nullptr};
}

// Converts with the GIL released. A zone forced on points far from it converts them; Python's
// warnings say so (once per call, and once per place of the call by the default filter).
void convertPoints(const ArrayConverter& converter, const PointArrays& arrays, unsigned workers) {
  bool farPoint = false;
  {
    py::gil_scoped_release released;
    farPoint = converter.convert(arrays, workers);
  }
  if (!farPoint) return;
  const ConversionSettings& settings = converter.settings();
  const std::string message =
      describeFarForcedZone(*settings.targetZone, settings.to.system, settings.zoneWidth);
  if (PyErr_WarnEx(PyExc_UserWarning, message.c_str(), 1) != 0) throw py::error_already_set();
}

py::tuple convertArrays(const ArrayConverter& converter, const py::object& x, const py::object& y,
                        const py::object& zone, int threads, const py::object& out,
                        const py::object& z = py::none(), const py::object& epoch = py::none()) {
  const unsigned workers = threadCount(threads);
  const CallPoints points = callPoints(converter, x, y, zone, z, epoch);
  const bool withHeights = points.z.has_value();
  std::vector<ByteRange> inputs = {bytesOf(points.x), bytesOf(points.y)};
  if (points.zones.data != nullptr) inputs.push_back(bytesOf(points.zones.array));
  if (withHeights) inputs.push_back(bytesOf(*points.z));
  if (points.epoch) inputs.push_back(bytesOf(*points.epoch));
  const bool given = !out.is_none();
  ResultArrays results = given ? callerResults(out, points.shape, inputs, withHeights)
                               : newResults(points.shape, withHeights);
  convertPoints(converter, pointArrays(points, results), workers);
  if (given) return py::reinterpret_borrow<py::tuple>(out);
  const bool scalar = points.x.ndim() == 0;
  if (withHeights) {
    return py::make_tuple(result(results.x, scalar), result(results.y, scalar),
                          result(*results.z, scalar), result(results.zone, scalar),
                          result(results.status, scalar));
  }
  return py::make_tuple(result(results.x, scalar), result(results.y, scalar),
                        result(results.zone, scalar), result(results.status, scalar));
}

// The library's identifiers of the reasons, indexed by RangeProblem: "" for None.
py::array reasonNames() {
  py::list names;
  for (int problem = 0; problem < kRangeProblemCount; ++problem) {
    names.append(rangeProblemName(static_cast<RangeProblem>(problem)));
  }
  return py::module_::import("numpy").attr("array")(names);
}

py::object explainPoints(const ArrayConverter& converter, const py::object& x, const py::object& y,
                         const py::object& zone, const py::object& z, const py::object& epoch) {
  const CallPoints points = callPoints(converter, x, y, zone, z, epoch);
  ResultArrays results = newResults(points.shape, points.z.has_value());
  const PointArrays arrays = pointArrays(points, results);
  py::array_t<std::int8_t> problems(points.shape);
  std::int8_t* problem = problems.mutable_data();
  {
    py::gil_scoped_release released;
    converter.convert(arrays, threadCount(0));
    // Only the points convert() marks are converted once more, so that the reasons agree with
    // the status whatever path the engine took.
    for (std::size_t i = 0; i < arrays.count; ++i) {
      problem[i] = 0;
      if (arrays.status[i] == kPointConverted) continue;
      const std::optional<int> pointZone =
          arrays.zone != nullptr ? std::optional<int>(arrays.zone[i]) : std::nullopt;
      const std::optional<double> height =
          arrays.z != nullptr ? std::optional<double>(arrays.z[i]) : std::nullopt;
      const std::optional<double> pointEpoch =
          arrays.epoch != nullptr ? std::optional<double>(arrays.epoch[i]) : std::nullopt;
      problem[i] = static_cast<std::int8_t>(
          converter.explain(arrays.x[i], arrays.y[i], height, pointEpoch, pointZone));
    }
  }
  const py::object names = reasonNames().attr("take")(problems);
  return points.x.ndim() == 0 ? py::object(py::str(names.attr("item")())) : names;
}

std::string reasonText(const std::string& name) {
  for (int problem = 0; problem < kRangeProblemCount; ++problem) {
    const auto reason = static_cast<RangeProblem>(problem);
    if (name == rangeProblemName(reason)) return describeRangeProblem(reason);
  }
  std::string known;
  for (int problem = 1; problem < kRangeProblemCount; ++problem) {
    known += std::string(known.empty() ? "" : ", ") +
             rangeProblemName(static_cast<RangeProblem>(problem));
  }
  throw py::value_error("'" + name + "' is not a reason Transformer.explain gives; they are " +
                        known + " and '' (converted)");
}

constexpr char kPolynomial[] = "polynomial";
constexpr char kOfficial[] = "official";

DatumChoice datumChoice(const std::string& datum, const std::optional<std::string>& grid) {
  if (datum != kPolynomial && datum != kOfficial) {
    throw py::value_error("datum must be 'polynomial' or 'official', not '" + datum + "'");
  }
  if (datum == kPolynomial && grid) {
    throw py::value_error("grid is only used with datum='official'");
  }
  // The operating system would read the path only up to the NUL: another file.
  if (grid && grid->find('\0') != std::string::npos) {
    throw py::value_error("grid " + std::string(py::repr(py::str(*grid))) +
                          " holds a NUL character, which no file path can hold");
  }
  return {datum == kOfficial ? DatumShift::Official : DatumShift::Polynomial, grid.value_or("")};
}

// ---- Heights -----------------------------------------------------------------------------------

constexpr char kNoHeights[] = "none";
constexpr char kEllipsoidalHeights[] = "ellipsoidal";
constexpr char kDhhn2016Heights[] = "dhhn2016";
constexpr char kHeightWords[] = "'none', 'ellipsoidal' or 'dhhn2016'";

const char* heightWord(HeightKind kind) {
  switch (kind) {
    case HeightKind::Ellipsoidal:
      return kEllipsoidalHeights;
    case HeightKind::Normal:
      return kDhhn2016Heights;
    case HeightKind::None:
      break;
  }
  return kNoHeights;
}

std::string heightsText(const ArrayConverter& converter) {
  const HeightChoice& heights = converter.settings().heights;
  return std::string(heightWord(heights.from)) + " to " + heightWord(heights.to);
}

std::string pairText(HeightKind from, HeightKind to) {
  return std::string("('") + heightWord(from) + "', '" + heightWord(to) + "')";
}

HeightKind heightKind(const py::handle& word, const char* side) {
  const std::string role = std::string("heights: the ") + side + "'s ";
  if (!py::isinstance<py::str>(word)) {
    throw py::type_error(role + "kind must be " + kHeightWords + ", not " +
                         std::string(py::repr(word)));
  }
  const auto text = word.cast<std::string>();
  if (text == kNoHeights) return HeightKind::None;
  if (text == kEllipsoidalHeights) return HeightKind::Ellipsoidal;
  if (text == kDhhn2016Heights) return HeightKind::Normal;
  throw py::value_error(role + "kind '" + text + "' is not " + kHeightWords +
                        " (DHHN2016 normal heights)");
}

// The caller's pair (source, target) of height kinds.
std::pair<HeightKind, HeightKind> givenHeights(const py::object& heights) {
  const bool pair = (py::isinstance<py::tuple>(heights) || py::isinstance<py::list>(heights)) &&
                    py::len(heights) == 2;
  if (!pair) {
    throw py::type_error(std::string("heights must be a pair (source, target) of ") + kHeightWords +
                         ", e.g. ('dhhn2016', 'ellipsoidal'), or None, not " +
                         std::string(py::repr(heights)));
  }
  const auto sides = py::reinterpret_borrow<py::sequence>(heights);
  return {heightKind(sides[0], "source"), heightKind(sides[1], "target")};
}

// A kind the caller gives must be the one a compound or 3D name has; a name without heights
// takes any.
void checkAgainstName(HeightKind given, HeightKind named, const char* side, const std::string& name,
                      const std::string& argument) {
  if (named == HeightKind::None || given == named) return;
  throw py::value_error(argument + ": the " + side + " " + name + " has " + heightWord(named) +
                        " heights, not " + heightWord(given));
}

// Heights are converted from one kind into another, by the official datum transformations only.
// Checked here rather than left to the Transformer, so that the message speaks of the arguments
// the caller wrote; `origin` says where the kinds came from.
void checkHeightKinds(const HeightChoice& choice, const ConversionSettings& settings,
                      const std::string& origin) {
  const bool from = choice.from != HeightKind::None;
  if (from != (choice.to != HeightKind::None)) {
    const std::string with = from ? "source" : "target";
    const std::string without = from ? "target" : "source";
    throw py::value_error("heights: the " + with + " has " +
                          heightWord(from ? choice.from : choice.to) + " heights and the " +
                          without + " none (" + origin +
                          "); name the kind of both, e.g. heights=('dhhn2016', 'ellipsoidal'), "
                          "or of neither");
  }
  if (from && settings.datum.method != DatumShift::Official) {
    throw py::value_error("heights " + std::string(heightWord(choice.from)) + " to " +
                          heightWord(choice.to) + " (" + origin +
                          ") are converted only with datum='official'");
  }
}

std::string geoidPath(const HeightChoice& choice, const std::string& geoid) {
  if (choice.from == HeightKind::None) throw py::value_error("geoid is only used with heights");
  // The operating system would read the path only up to the NUL: another file.
  if (geoid.find('\0') != std::string::npos) {
    throw py::value_error("geoid " + std::string(py::repr(py::str(geoid))) +
                          " holds a NUL character, which no file path can hold");
  }
  return geoid;
}

// The heights a Transformer converts: the caller's (checked against the names), else the names'.
HeightChoice heightChoice(const ConversionSettings& settings, const py::object& heights,
                          const std::optional<std::string>& geoid) {
  HeightChoice choice = settings.heights;  // the names' kinds
  std::string origin = "from the names " + settings.sourceName + " and " + settings.targetName;
  if (!heights.is_none()) {
    const auto [from, to] = givenHeights(heights);
    origin = "heights=" + pairText(from, to);
    checkAgainstName(from, choice.from, "source", settings.sourceName, origin);
    checkAgainstName(to, choice.to, "target", settings.targetName, origin);
    choice.from = from;
    choice.to = to;
  }
  checkHeightKinds(choice, settings, origin);
  if (geoid) choice.geoid = geoidPath(choice, *geoid);
  return choice;
}

py::object heightsOf(const ConversionSettings& settings) {
  if (settings.heights.from == HeightKind::None) return py::none();
  return py::make_tuple(heightWord(settings.heights.from), heightWord(settings.heights.to));
}

py::object geoidOf(const ConversionSettings& settings) {
  return settings.heights.geoid.empty() ? py::none() : py::object(py::str(settings.heights.geoid));
}

// System 5 is joined to the others by EPSG:10586 alone, an official transformation.
void checkFrameDatum(const ConversionSettings& settings) {
  const bool frame =
      settings.from.system == kItrf2020System || settings.to.system == kItrf2020System;
  if (frame && settings.datum.method != DatumShift::Official) {
    throw py::value_error(
        "system 5 (ITRF2020) is converted with datum='official' only (EPSG:10586 "
        "to ETRS89 at an epoch): the conversion " +
        conversionText(settings));
  }
}

ArrayConverter makeConverter(const std::string& source, const std::string& target,
                             std::optional<int> zoneWidth, std::optional<int> zone, bool zonePrefix,
                             const std::string& datum = kPolynomial,
                             const std::optional<std::string>& grid = std::nullopt,
                             const py::object& heights = py::none(),
                             const std::optional<std::string>& geoid = std::nullopt,
                             const py::object& epoch = py::none()) {
  ConversionSettings settings = namedSettings(source, target, zoneWidth, zone, zonePrefix);
  settings.datum = datumChoice(datum, grid);
  checkFrameDatum(settings);
  settings.datum.epoch = epochChoice(settings, epoch);
  settings.heights = heightChoice(settings, heights, geoid);
  return ArrayConverter(settings);
}

py::object epochOf(const ConversionSettings& settings) {
  if (std::isnan(settings.datum.epoch)) return py::none();
  return py::float_(settings.datum.epoch);
}

std::string datumText(const ConversionSettings& settings) {
  return settings.datum.method == DatumShift::Official ? kOfficial : kPolynomial;
}

py::object gridOf(const ConversionSettings& settings) {
  return settings.datum.grid.empty() ? py::none() : py::object(py::str(settings.datum.grid));
}

std::string systemNumber(int system) {
  if (system < kFirstSystem || system > kLastSystem) {
    throw py::value_error("system " + std::to_string(system) + " is not one of 1, 2, 3, 4");
  }
  return std::to_string(system);
}

py::tuple toLL(const py::object& easting, const py::object& northing, int system,
               const py::object& zone, int threads, const py::object& out) {
  const ArrayConverter converter = makeConverter("E:" + systemNumber(system), kGeographicWgs84,
                                                 kThreeDegreeZones, std::nullopt, false);
  return convertArrays(converter, easting, northing, zone, threads, out);
}

py::tuple fromLL(const py::object& longitude, const py::object& latitude, int system,
                 std::optional<int> zone, bool zonePrefix, int zoneWidth, int threads,
                 const py::object& out) {
  const ArrayConverter converter =
      makeConverter(kGeographicWgs84, "E:" + systemNumber(system), zoneWidth, zone, zonePrefix);
  return convertArrays(converter, longitude, latitude, py::none(), threads, out);
}

std::string describe(const ArrayConverter& converter) {
  const ConversionSettings& settings = converter.settings();
  std::string text = "Transformer('" + settings.sourceName + "', '" + settings.targetName +
                     "', zone_width=" + std::to_string(settings.zoneWidth) + ", zone=";
  text += settings.targetZone ? std::to_string(*settings.targetZone) : "None";
  if (settings.zonePrefix) text += ", zone_prefix=True";
  if (settings.datum.method == DatumShift::Official) text += ", datum='official'";
  if (!settings.datum.grid.empty()) text += ", grid=" + std::string(py::repr(gridOf(settings)));
  if (converter.convertsHeights()) {
    text += ", heights=" + pairText(settings.heights.from, settings.heights.to);
  }
  if (!settings.heights.geoid.empty()) {
    text += ", geoid=" + std::string(py::repr(geoidOf(settings)));
  }
  if (!std::isnan(settings.datum.epoch)) text += ", epoch=" + numberText(settings.datum.epoch);
  return text + ")";
}

py::tuple pickledState(const ArrayConverter& converter) {
  const ConversionSettings& settings = converter.settings();
  return py::make_tuple(settings.sourceName, settings.targetName, settings.zoneWidth,
                        settings.targetZone, settings.zonePrefix, datumText(settings),
                        gridOf(settings), heightsOf(settings), geoidOf(settings),
                        epochOf(settings));
}

ArrayConverter fromPickledState(const py::tuple& state) {
  // Transformers pickled before heights have the first seven fields, before epochs nine.
  constexpr std::size_t kStateFieldsWithoutHeights = 7;
  constexpr std::size_t kStateFieldsWithoutEpoch = 9;
  constexpr std::size_t kStateFields = 10;
  if (state.size() != kStateFields && state.size() != kStateFieldsWithoutEpoch &&
      state.size() != kStateFieldsWithoutHeights) {
    throw py::value_error("not a pickled nuvex.Transformer");
  }
  const bool withHeights = state.size() >= kStateFieldsWithoutEpoch;
  const bool withEpoch = state.size() == kStateFields;
  return makeConverter(
      state[0].cast<std::string>(), state[1].cast<std::string>(), state[2].cast<int>(),
      state[3].cast<std::optional<int>>(), state[4].cast<bool>(), state[5].cast<std::string>(),
      state[6].cast<std::optional<std::string>>(), withHeights ? py::object(state[7]) : py::none(),
      withHeights ? state[8].cast<std::optional<std::string>>() : std::nullopt,
      withEpoch ? py::object(state[9]) : py::none());
}

// ---- Angles ------------------------------------------------------------------------------------

constexpr double kSecondsPerDegree = 3600.0;
constexpr double kSecondsPerMinute = 60.0;

// The parts of the angle as the library splits it, with the seconds rounded to `decimals`
// decimals (none: as the split leaves them). The sign goes on the first part that is not zero, as
// the converter writes and reads angles: the sign belongs to the whole angle.
void splitAngle(double angle, std::optional<int> decimals, int& degrees, int& minutes,
                double& seconds) {
  const nuvex::AngleParts parts =
      nuvex::splitAngle(angle, decimals.value_or(nuvex::kMostSecondDecimals));
  degrees = parts.degrees;
  minutes = parts.minutes;
  seconds = parts.seconds;
  if (decimals) {
    const double scale = std::pow(10.0, *decimals);
    seconds = std::round(seconds * scale) / scale;
  }
  // Unrounded seconds show every digit: any angle below zero keeps its sign.
  const bool negative = decimals ? parts.negative : angle < 0.0;
  if (!negative) return;
  if (degrees != 0) {
    degrees = -degrees;
  } else if (minutes != 0) {
    minutes = -minutes;
  } else {
    seconds = -seconds;
  }
}

py::tuple deg2dms(const py::object& angle, std::optional<int> decimals) {
  if (decimals && (*decimals < 0 || *decimals > nuvex::kMostSecondDecimals)) {
    throw py::value_error("decimals must be None or 0 to " +
                          std::to_string(nuvex::kMostSecondDecimals) + ", not " +
                          std::to_string(*decimals));
  }
  const DoubleArray angles = numericArray(angle, "angle");
  const Shape shape = shapeOf(angles);
  IntArray degrees(shape);
  IntArray minutes(shape);
  py::array_t<double> seconds(shape);
  {
    py::gil_scoped_release released;
    for (py::ssize_t i = 0; i < angles.size(); ++i) {
      const double value = angles.data()[i];
      int& wholeDegrees = degrees.mutable_data()[i];
      int& wholeMinutes = minutes.mutable_data()[i];
      double& restSeconds = seconds.mutable_data()[i];
      if (std::isfinite(value) && std::fabs(value) < INT_MAX) {
        splitAngle(value, decimals, wholeDegrees, wholeMinutes, restSeconds);
      } else {
        wholeDegrees = 0;
        wholeMinutes = 0;
        restSeconds = std::numeric_limits<double>::quiet_NaN();
      }
    }
  }
  const bool scalar = angles.ndim() == 0;
  return py::make_tuple(result(degrees, scalar), result(minutes, scalar), result(seconds, scalar));
}

constexpr double kSexagesimalBase = 60.0;  // minutes per degree, seconds per minute

std::string wholeText(double number) {
  return std::to_string(static_cast<long long>(number));
}

// The parts must be those of an angle's magnitude, as the library splits angles (nuvex/angles.h):
// minutes 0 to 59, seconds 0 to below 60 (NaN seconds give a NaN angle), the sign of the whole
// angle on the first part that is not zero and on no other.
void checkAngleParts(double degrees, double minutes, double seconds, py::ssize_t index) {
  const std::string at = " at index " + std::to_string(index);
  const std::string signRule = ": only the first part that is not zero carries the angle's sign";
  if (!(std::fabs(minutes) < kSexagesimalBase)) {
    throw py::value_error("minutes holds " + wholeText(minutes) + at + ", not 0 to 59");
  }
  if (minutes < 0.0 && degrees != 0.0) {
    throw py::value_error("minutes holds " + wholeText(minutes) + at + " after degrees " +
                          wholeText(degrees) + signRule);
  }
  if (std::isnan(seconds)) return;
  const std::string secondsText = py::repr(py::float_(seconds));
  if (!(std::fabs(seconds) < kSexagesimalBase)) {
    throw py::value_error("seconds holds " + secondsText + at + ", not 0 to below 60");
  }
  if (seconds < 0.0 && (degrees != 0.0 || minutes != 0.0)) {
    throw py::value_error(
        "seconds holds " + secondsText + at + " after " +
        (degrees != 0.0 ? "degrees " + wholeText(degrees) : "minutes " + wholeText(minutes)) +
        signRule);
  }
}

// The sign of the first part that is not zero is the angle's; the parts' magnitudes add up.
double joinAngle(double degrees, double minutes, double seconds) {
  const bool negative = degrees != 0.0   ? degrees < 0.0
                        : minutes != 0.0 ? minutes < 0.0
                                         : seconds < 0.0;
  const double magnitude = std::fabs(degrees) + std::fabs(minutes) / kSecondsPerMinute +
                           std::fabs(seconds) / kSecondsPerDegree;
  return negative ? -magnitude : magnitude;
}

py::object dms2deg(const py::object& degrees, const py::object& minutes,
                   const py::object& seconds) {
  const py::list parts = py::module_::import("numpy").attr("broadcast_arrays")(
      wholeNumberArray(degrees, "degrees"), wholeNumberArray(minutes, "minutes"),
      numericArray(seconds, "seconds"));
  const DoubleArray d = floatArray(parts[0]);
  const DoubleArray m = floatArray(parts[1]);
  const DoubleArray s = floatArray(parts[2]);
  py::array_t<double> angles(shapeOf(d));
  double* angle = angles.mutable_data();
  for (py::ssize_t i = 0; i < d.size(); ++i) {
    checkAngleParts(d.data()[i], m.data()[i], s.data()[i], i);
    angle[i] = joinAngle(d.data()[i], m.data()[i], s.data()[i]);
  }
  return result(angles, d.ndim() == 0);
}

// ---- Docstrings --------------------------------------------------------------------------------

constexpr const char* kTransformerDoc = R"(Converts points between two coordinate systems.

Transformer(source, target, zone_width=None, zone=None, zone_prefix=False, datum="polynomial",
            grid=None, heights=None, geoid=None, epoch=None)

source, target -- "TYPE:SYSTEM" as the nuvex converter writes them: TYPE "E" for grid
    coordinates (easting, northing in metres) or "G" for geographic coordinates (longitude,
    latitude in decimal degrees); SYSTEM 1 Bessel 1841 / Gauss-Krueger 3 deg, 2 International
    1924 / UTM, 3 WGS84 / UTM, 4 Krassowsky 1940 / Gauss-Krueger 3 or 6 deg, 5 ITRF2020 (GRS80)
    / UTM, the global frame of GNSS (datum="official" only). Examples: "E:1",
    "G:3". Or an EPSG code of one of them (`nuvex list` prints them), e.g. "EPSG:31467" (DHDN /
    3-degree Gauss-Kruger zone 3), "EPSG:25832" (ETRS89 / UTM zone 32N, converted as WGS84): a
    projected code is one zone (and zone width); input points of another zone get status -1.
    Coordinates stay x/y (longitude, latitude; easting, northing) whatever EPSG's axis order.
    A compound code with DHHN2016 heights, "EPSG:31467+7837" (also "E:1+7837"), or the 3D
    code "EPSG:4937" (ETRS89 with ellipsoidal heights) also names the side's heights.
    ITRF2020 is "EPSG:9990" (2D) or "EPSG:9989" (3D, ellipsoidal heights); WGS 84 (G2296),
    "EPSG:10606" and "EPSG:10605", is taken as the same system. An epoch after '@' is the
    points' epoch, as PROJ writes it: "EPSG:9990@2026.9".
zone_width -- width of the Gauss-Krueger zones of system 4 in degrees: 3 or 6; None: 3, or the
    zone width of an EPSG code.
zone -- zone of grid output for every point; None: each point's zone follows from its longitude
    (or is the zone of a projected EPSG target).
    Gauss-Krueger zones are numbered by central meridian / 3 (0 to 119), 6 deg zones 1 to 60.
zone_prefix -- UTM output eastings (systems 2, 3) carry the zone in their millions, as
    Gauss-Krueger eastings always do (zone 32: 32571666.448 m).
datum -- "polynomial": the engine's datum shift polynomials (metre-level; the default);
    "official": the official transformations (centimetre-level): the NTv2 grid BeTA2007 between
    system 1 and system 3 (taken as ETRS89), EPSG:1775 between system 4 and system 3, both for
    1 <-> 4, EPSG:10586 at the points' epoch between system 5 and system 3. Points outside the
    grid or EPSG:1775's area of use get status -1.
grid -- with datum="official": the path of another grid for system 1, an NTv2 file or a GeoTIFF
    grid (told apart by the file's content; None: the built-in BeTA2007), read when the
    Transformer is made.
heights -- with datum="official": the kinds of heights (source, target), each "none",
    "ellipsoidal" (above the system's ellipsoid: GRS80 for system 3 as ETRS89, Krassowsky for
    system 4) or "dhhn2016" (DHHN2016 normal heights, systems 1, 3 and 4), e.g. ("dhhn2016",
    "ellipsoidal"); transform then converts the heights given with z=. None: the kinds the
    names give (compound and 3D codes), else no heights. A kind on one side only, and
    ellipsoidal heights on system 1, are refused.
geoid -- with heights between "dhhn2016" and "ellipsoidal": the path of another quasigeoid, a
    GeoTIFF grid of undulations (None: the built-in GCG2016, Germany), read when the
    Transformer is made.
epoch -- between system 5 (ITRF2020) and another system: the epoch of every point, a decimal
    year from 1990 to 2100 (2026.9) or a date ("2026-12-07", at 0h: 2026 + 340/365), as an
    epoch after '@' in a name gives it (the two must agree). ITRF2020 moves against ETRS89 by
    some 2.5 cm a year in Germany. None: the names' epoch, if any; without one the points bring
    theirs to transform(x, y, epoch=...), which raises ValueError when they do not. Other
    conversions take no epoch.

Raises ValueError for an unknown system text or EPSG code (naming the nearest supported ones), a
zone width other than 3 or 6, a zone the target grid does not have, or a zone, zone width or
zone prefix that contradicts an EPSG code, system 2 with datum="official" (it has no official
transformation) and a grid file that is missing or not a valid NTv2 or GeoTIFF grid (or a path holding a
NUL); for an unknown kind of heights, heights that contradict a name's, heights without
datum="official" or on one side only, and a geoid where no heights use one or that cannot be
read (TypeError for heights that are not a pair of strings); for system 5 without
datum="official", an epoch that is no decimal year or date from 1990 to 2100, one that
contradicts a name's (or names with two different epochs), and an epoch for a conversion that
needs none (TypeError for an epoch that is neither a number nor a string, e.g. an array).
A Transformer is immutable, may be shared between threads and can be pickled (e.g. sent to
Dask workers). transform converts points; explain says why points are not converted.)";

constexpr const char* kTransformDoc = R"(Converts arrays of points.

transform(x, y, zone=None, threads=0, *, z=None, epoch=None, out=None) -> (x, y, zone, status)
    with heights z: -> (x, y, z, zone, status)

x, y -- easting and northing (metres) or longitude and latitude (decimal degrees), as the source
    is grid or geographic: anything array-like of the same shape (lists, numpy arrays of any
    float or integer dtype, strided or not, scalars). Gauss-Krueger eastings carry their zone in
    the millions; UTM eastings may (10000000 m and more).
zone -- zones of UTM input points (systems 2, 3): one for every point or one per point; None
    means 0, i.e. every easting carries its zone in its millions. Not accepted for geographic
    input or Gauss-Krueger eastings.
z -- heights (metres) of the points, array-like of their shape: converted when the Transformer
    converts heights (it needs them), else carried over unchanged. With z the result has five
    arrays, the heights third.
epoch -- between system 5 (ITRF2020) and another system: the points' epochs, decimal years,
    array-like of their shape (a point whose epoch is NaN or outside 1990 to 2100 gets status
    -1), or one epoch for every point (a number or a date string, checked as the Transformer's
    epoch). They take the place of the Transformer's epoch; None: the Transformer's, which it
    must then have. Split over the threads with their points.
threads -- most threads that share the points; 0 (the default): one per core. One thread
    per 16384 points at most, so small arrays stay on the calling thread. The threads take
    chunks of 4096 points in turn, so a thread the machine slows down leaves its chunks to the
    others. The results are bitwise the same for any number of threads. The GIL is released while converting.
out -- a tuple of four arrays (x, y, zone, status) the results are written into instead of new
    arrays: dtypes float64, float64, int32, int32 (with z five: x, y, z, zone, status, z
    float64), C-contiguous, writeable, of the input's shape, sharing no memory with each other
    or with x, y, z, zone and epoch as the conversion reads them (an input that is converted to
    float64 first is a copy and may share memory with out). The same tuple is returned.
    Reusing arrays saves allocating and first touching new memory.

Returns four numpy arrays of the input's shape (numpy scalars for scalar input): x and y
(float64, metres or degrees as the target is grid or geographic), zone (int32: the output zone
for grid output, the zone the input was read in for grid-to-geographic, 0 for
geographic-to-geographic) and status (int32: 0 converted, -1 not converted). A point without a
transformation path, not finite, outside -180..180 deg longitude / -90..90 deg latitude or
beyond 1e9 m, or whose UTM zone does not fit its easting has status -1, NaN coordinates and
zone 0; the other points are converted all the same. Where heights are converted, so has a point
whose height is not finite or beyond 10 km, or where the quasigeoid has no value (outside
Germany for GCG2016); every point with status -1 then has a NaN height. Heights that are
carried over stay as given, whatever the status.

Raises ValueError for arrays of different shapes, a zone array of another shape, zones that are
not whole numbers, zones where the source takes none, no z for a Transformer that converts
heights, no epoch for a conversion that needs one (or one for a conversion that needs none),
an epoch array of another shape, threads < 0, out arrays of another shape, not C-contiguous,
read-only or sharing memory; TypeError for input that is not numeric (strings, booleans, complex numbers, objects)
and out arrays of another dtype.)";

constexpr const char* kExplainDoc = R"(Why points are not converted.

explain(x, y, zone=None, *, z=None, epoch=None) -> reasons

x, y, zone, z, epoch -- as in transform (z is needed where heights are converted, epoch where
the Transformer has none for a conversion that needs one). Returns, for each
point, the library's identifier of the reason transform gives it status -1, or "" for a point
it converts: a numpy array of strings of the input's shape, or a str for scalar input. nuvex.reason_text(reason) gives the sentence for
messages. A point of another zone than a projected EPSG source names is "no_such_zone". The
refused points are converted once more, one by one, to find their reasons: meant for messages,
not for every point of large arrays. Raises what transform raises for bad arguments.

The reasons, as the library describes them:
)";

// The explain docstring with the library's reasons: identifier and sentence, one a line.
const char* explainDoc() {
  static const std::string doc = [] {
    std::string text = kExplainDoc;
    for (int problem = 1; problem < kRangeProblemCount; ++problem) {
      const auto reason = static_cast<RangeProblem>(problem);
      text +=
          std::string("\n    ") + rangeProblemName(reason) + " -- " + describeRangeProblem(reason);
    }
    return text;
  }();
  return doc.c_str();
}

constexpr const char* kReasonTextDoc =
    R"(The library's sentence for a reason of Transformer.explain.

reason_text(reason) -> str

reason -- an identifier Transformer.explain returns, e.g. "outside_polynomial_area"; "" (a
converted point) gives "". The sentence is the one the nuvex converter writes for such a point.
Raises ValueError for an unknown identifier.)";

constexpr const char* kToLLDoc = R"(Grid points of a system to WGS84 longitude and latitude.

to_ll(easting, northing, system, zone=None, threads=0, *, out=None)
    -> (longitude, latitude, zone, status)

As the library's entry point NuvexConvertToLL, over arrays: easting and northing in metres on
the grid of system 1 to 4 (see Transformer), zone as in Transformer.transform (UTM systems 2 and
3 only). Returns longitude and latitude in decimal degrees on WGS84 (system 3), the zone the
input was read in, and the status (0 converted, -1 not converted: NaN coordinates). threads and
out as in Transformer.transform. Raises ValueError for a system other than 1 to 4.)";

constexpr const char* kFromLLDoc = R"(WGS84 longitude and latitude to the grid of a system.

from_ll(longitude, latitude, system, zone=None, zone_prefix=False, zone_width=3, threads=0, *,
        out=None) -> (easting, northing, zone, status)

As the library's entry point NuvexConvertFromLL, over arrays: longitude and latitude in decimal
degrees on WGS84 to easting and northing in metres on the grid of system 1 to 4. zone: one
output zone for every point; None: each point's zone follows from its longitude. zone_prefix:
UTM eastings (systems 2, 3) carry the zone in their millions. zone_width: 3 or 6 deg zones for
system 4. Returns the zone of each point and the status (0 converted, -1 not converted: NaN
coordinates). threads and out as in Transformer.transform. Raises ValueError for a system
other than 1 to 4, a zone width other than 3 or 6 or a zone the grid does not have.)";

constexpr const char* kDeg2DmsDoc = R"(Decimal degrees to degrees, minutes and seconds.

deg2dms(angle, decimals=None) -> (degrees, minutes, seconds)

angle -- decimal degrees, array-like. decimals -- the number of decimals the seconds will be
shown with (0 to 10): the seconds are rounded to them, and seconds that round up to 60 carry into
the minutes and degrees (10.9999999 with decimals=2 gives 11, 0, 0.0), so that dms2deg of the
parts gives the angle within half a unit of the last decimal. None: the seconds are not rounded.
The sign belongs to the whole angle, as the converter writes it: it goes on the first part that
is not zero (-7.25 gives -7, 15, 0.0; -0.5 gives 0, -30, 0.0). Returns int32 degrees and minutes
and float64 seconds; an angle that is not finite or beyond +-2147483647 deg gives 0, 0 and NaN
seconds. Raises ValueError for decimals outside 0 to 10.)";

constexpr const char* kDms2DegDoc = R"(Degrees, minutes and seconds to decimal degrees.

dms2deg(degrees, minutes, seconds) -> angle

degrees and minutes are whole numbers (integer dtype, or floats without a fraction), seconds any
number; the three broadcast against each other as in numpy. The sign belongs to the whole angle,
as the converter reads -50:30:15.25: the first part that is not zero gives it, so dms2deg(-50,
30, 15.25) is -50.504236... and dms2deg(0, -30, 0) is -0.5. The parts are those of the angle's
magnitude, as deg2dms gives them: minutes 0 to 59, seconds 0 to below 60 (NaN seconds give NaN).
Raises ValueError for degrees or minutes with a fraction, minutes or seconds beyond those
ranges, and a sign on a part after the first that is not zero (dms2deg(10, -30, 0)); TypeError
for non-numeric input.)";

}  // namespace
}  // namespace nuvex::python

PYBIND11_MODULE(_nuvex, module) {
  using namespace nuvex::python;
  // Every docstring starts with the call as Python users write it; pybind11's typed signatures
  // would only repeat it with C++ types.
  py::options options;
  options.disable_function_signatures();
  module.doc() = "Compiled core of the nuvex package; use it through `import nuvex`.";
  module.attr("__version__") = NUVEX_VERSION;
  module.attr("POINT_CONVERTED") = nuvex::kPointConverted;
  module.attr("POINT_WITHOUT_PATH") = nuvex::kPointWithoutPath;

  py::class_<ArrayConverter>(module, "Transformer", kTransformerDoc)
      .def(py::init(&makeConverter), py::arg("source"), py::arg("target"),
           py::arg("zone_width") = py::none(), py::arg("zone") = py::none(),
           py::arg("zone_prefix") = false, py::arg("datum") = kPolynomial,
           py::arg("grid") = py::none(), py::arg("heights") = py::none(),
           py::arg("geoid") = py::none(), py::arg("epoch") = py::none())
      .def("transform", &convertArrays, kTransformDoc, py::arg("x"), py::arg("y"),
           py::arg("zone") = py::none(), py::arg("threads") = 0, py::kw_only(),
           py::arg("out") = py::none(), py::arg("z") = py::none(), py::arg("epoch") = py::none())
      .def("explain", &explainPoints, explainDoc(), py::arg("x"), py::arg("y"),
           py::arg("zone") = py::none(), py::kw_only(), py::arg("z") = py::none(),
           py::arg("epoch") = py::none())
      .def_property_readonly(
          "source", [](const ArrayConverter& c) { return c.settings().sourceName; },
          "The source system, e.g. 'E:1' or 'EPSG:31467'.")
      .def_property_readonly(
          "target", [](const ArrayConverter& c) { return c.settings().targetName; },
          "The target system, e.g. 'G:3' or 'EPSG:25832'.")
      .def_property_readonly(
          "zone_width", [](const ArrayConverter& c) { return c.settings().zoneWidth; },
          "Width of the zones of system 4 in degrees (3 or 6).")
      .def_property_readonly(
          "zone", [](const ArrayConverter& c) { return c.settings().targetZone; },
          "Zone of grid output, or None when it follows from each point's longitude.")
      .def_property_readonly(
          "zone_prefix", [](const ArrayConverter& c) { return c.settings().zonePrefix; },
          "Whether UTM output eastings carry the zone in their millions.")
      .def_property_readonly(
          "datum", [](const ArrayConverter& c) { return datumText(c.settings()); },
          "The datum shift: 'polynomial' or 'official'.")
      .def_property_readonly(
          "grid", [](const ArrayConverter& c) { return gridOf(c.settings()); },
          "The grid file (NTv2 or GeoTIFF) of the official datum shift, or None for the built-in "
          "BeTA2007.")
      .def_property_readonly(
          "heights", [](const ArrayConverter& c) { return heightsOf(c.settings()); },
          "The kinds of heights converted, (source, target), e.g. ('dhhn2016', 'ellipsoidal'); "
          "None when heights are carried over unchanged.")
      .def_property_readonly(
          "geoid", [](const ArrayConverter& c) { return geoidOf(c.settings()); },
          "The quasigeoid grid file (GeoTIFF) between DHHN2016 and ellipsoidal heights, or None "
          "for the built-in GCG2016.")
      .def_property_readonly(
          "epoch", [](const ArrayConverter& c) { return epochOf(c.settings()); },
          "The epoch of the points (decimal year) of a conversion between system 5 (ITRF2020) and "
          "another system, from epoch= or the names; None without one (the points then bring "
          "their own to transform).")
      .def("__repr__", &describe)
      .def(py::pickle(&pickledState, &fromPickledState));

  module.def("to_ll", &toLL, kToLLDoc, py::arg("easting"), py::arg("northing"), py::arg("system"),
             py::arg("zone") = py::none(), py::arg("threads") = 0, py::kw_only(),
             py::arg("out") = py::none());
  module.def("from_ll", &fromLL, kFromLLDoc, py::arg("longitude"), py::arg("latitude"),
             py::arg("system"), py::arg("zone") = py::none(), py::arg("zone_prefix") = false,
             py::arg("zone_width") = nuvex::kThreeDegreeZones, py::arg("threads") = 0,
             py::kw_only(), py::arg("out") = py::none());
  module.def("reason_text", &reasonText, kReasonTextDoc, py::arg("reason"));
  module.def("deg2dms", &deg2dms, kDeg2DmsDoc, py::arg("angle"), py::arg("decimals") = py::none());
  module.def("dms2deg", &dms2deg, kDms2DegDoc, py::arg("degrees"), py::arg("minutes"),
             py::arg("seconds"));
}
