// The GeoTIFF grid readers on libtiff. libtiff decodes the images (strips or tiles, any
// compression, either byte order); everything else is read here from the tags' values, each array
// checked for its length before an element is taken: the GeoKey directory (parsed from its
// shorts), the georeferencing and the GDAL metadata (a small XML document). libtiff's own messages
// are caught per file and put into the refusal; nothing is printed.
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "engine/geodetic_tables.h"
#include "engine/geotiff_grid.h"
#include "engine/printable_text.h"
#include "nuvex/systems.h"

namespace nuvex::engine {
namespace {

// Tags of GeoTIFF and GDAL (libtiff reads them as it finds them).
constexpr ttag_t kTagModelPixelScale = 33550;
constexpr ttag_t kTagModelTiepoint = 33922;
constexpr ttag_t kTagGeoKeyDirectory = 34735;
constexpr ttag_t kTagGdalMetadata = 42112;
constexpr ttag_t kTagGdalNoData = 42113;

// GeoKeys and their values.
constexpr std::uint16_t kModelTypeKey = 1024;
constexpr std::uint16_t kRasterTypeKey = 1025;
constexpr std::uint16_t kGeodeticCrsKey = 2048;
constexpr std::uint16_t kAngularUnitsKey = 2054;
constexpr std::uint16_t kModelTypeGeographic = 2;
constexpr std::uint16_t kRasterPixelIsArea = 1;
constexpr std::uint16_t kRasterPixelIsPoint = 2;
constexpr std::uint16_t kAngularUnitDegree = 9102;
constexpr std::size_t kGeoKeyEntry = 4;  // shorts per key: id, location, count, value

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
constexpr double kArcSecondsPerDegree = 3600.0;
constexpr double kRadiansPerArcSecond = kRadiansPerDegree / kArcSecondsPerDegree;
constexpr double kMaxLatitude = 90.0;    // deg
constexpr double kMaxLongitude = 180.0;  // deg
// A sub-grid's extent may exceed its parent's by this many of the parent's edge tolerances and
// still nest in it (the files' edges are rounded decimals of degrees).
constexpr double kNestingSlack = 1.0;

// More nodes than any real grid has; keeps every size computation far from overflow.
constexpr std::uint64_t kMaxNodesPerSide = 10'000'000;
constexpr std::uint64_t kMaxNodes = std::uint64_t{1} << 28;
// The most one byte of compressed image data can decode to (Deflate reaches about 1032, LZW
// about 4096 in the worst case): a file whose images would decode to more claims what its bytes
// cannot hold, and is refused before anything is allocated for them.
constexpr std::uint64_t kMaxDecodedPerByte = 4096;
// libtiff's largest single allocation (a strip, a tile, a tag's values).
constexpr tmsize_t kMaxTiffAllocation = tmsize_t{256} << 20;
constexpr int kMaxSubGrids = 100'000;

// Geographic CRSs (EPSG codes, Greenwich) on Bessel 1841 and on GRS80 that a grid may name as its
// datums. From proj.db: the geographic CRSs whose datum's ellipsoid is EPSG:7004 (Bessel 1841),
// and the ETRS89 family on EPSG:7019 (GRS80).
constexpr int kBesselCrsCodes[] = {3819, 3906, 4120, 4124, 4149, 4150, 4156, 4162, 4211, 4219,
                                   4257, 4262, 4289, 4295, 4301, 4306, 4308, 4312, 4314, 4613,
                                   4666, 4745, 4746, 5132, 5228, 5681, 5830, 8351, 9267};
constexpr int kGrs80CrsCodes[] = {4258, 4937, 7915, 7917, 7919, 7921, 7923,  7925, 7927, 7929,
                                  7931, 8399, 8403, 9059, 9060, 9061, 9062,  9063, 9064, 9065,
                                  9066, 9067, 9068, 9069, 9701, 9702, 10283, 10284};

std::string shown(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// ---------------------------------------------------------------------------------------------
// libtiff, one handle per file, its messages kept for the refusal.

struct Messages {
  std::string first;  // libtiff's first error about the file
};

int keepError(TIFF*, void* user, const char* module, const char* format, va_list args) {
  auto* messages = static_cast<Messages*>(user);
  if (messages->first.empty()) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    messages->first = std::string(module != nullptr ? module : "libtiff") + ": " + text;
  }
  return 1;  // handled: nothing is printed
}

int dropWarning(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

// The file's bytes as libtiff reads them.
struct MemoryFile {
  const unsigned char* bytes;
  std::uint64_t size;
  std::uint64_t position = 0;
};

tmsize_t readMemory(thandle_t handle, void* buffer, tmsize_t length) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (length < 0 || file->position >= file->size) return 0;
  const std::uint64_t n =
      std::min<std::uint64_t>(static_cast<std::uint64_t>(length), file->size - file->position);
  std::memcpy(buffer, file->bytes + file->position, static_cast<std::size_t>(n));
  file->position += n;
  return static_cast<tmsize_t>(n);
}

tmsize_t writeNothing(thandle_t, void*, tmsize_t) {
  return -1;
}

toff_t seekMemory(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  std::uint64_t base = 0;
  if (whence == SEEK_CUR) base = file->position;
  if (whence == SEEK_END) base = file->size;
  if (offset > std::numeric_limits<std::uint64_t>::max() - base) return static_cast<toff_t>(-1);
  file->position = base + offset;  // beyond the end: reads there give nothing
  return file->position;
}

int closeNothing(thandle_t) {
  return 0;
}
toff_t sizeOfMemory(thandle_t handle) {
  return static_cast<MemoryFile*>(handle)->size;
}
int mapNothing(thandle_t, void**, toff_t*) {
  return 0;
}
void unmapNothing(thandle_t, void*, toff_t) {}

class Tiff {
 public:
  Tiff(const unsigned char* bytes, std::size_t size, const std::string& origin)
      : file_{bytes, size}, origin_(origin) {
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(),
                                                                         TIFFOpenOptionsFree);
    if (!options) throw std::bad_alloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), keepError, &messages_);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), dropWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxTiffAllocation);
    // "m": no memory mapping (the bytes are in memory already).
    tiff_ = TIFFClientOpenExt(origin.c_str(), "rm", &file_, readMemory, writeNothing, seekMemory,
                              closeNothing, sizeOfMemory, mapNothing, unmapNothing, options.get());
    if (tiff_ == nullptr) fail("not a readable TIFF file" + libtiffSays());
  }
  ~Tiff() {
    if (tiff_ != nullptr) TIFFClose(tiff_);
  }
  Tiff(const Tiff&) = delete;
  Tiff& operator=(const Tiff&) = delete;

  TIFF* get() const { return tiff_; }
  std::uint64_t fileSize() const { return file_.size; }

  // " (libtiff: ...)" when libtiff has said why, else "".
  std::string libtiffSays() const {
    return messages_.first.empty() ? "" : " (" + printableText(messages_.first) + ")";
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw std::invalid_argument("GeoTIFF grid " + origin_ + ": " + what);
  }

 private:
  MemoryFile file_;
  const std::string& origin_;
  Messages messages_;
  TIFF* tiff_ = nullptr;
};

// One tag's values as libtiff holds them: their count and where they are (valid while the
// directory is current).
struct TagValues {
  std::uint64_t count = 0;
  const void* data = nullptr;
  TIFFDataType type = TIFF_NOTYPE;
};

std::optional<TagValues> tagValues(TIFF* tiff, ttag_t tag) {
  const TIFFField* field = TIFFFindField(tiff, tag, TIFF_ANY);
  if (field == nullptr) return std::nullopt;
  TagValues values;
  values.type = TIFFFieldDataType(field);
  void* data = nullptr;
  if (!TIFFFieldPassCount(field)) {
    // Only ASCII tags are read so (a NUL-terminated string).
    if (values.type != TIFF_ASCII || TIFFGetField(tiff, tag, &data) != 1 || data == nullptr) {
      return std::nullopt;
    }
    values.data = data;
    values.count = std::strlen(static_cast<const char*>(data));
    return values;
  }
  if (TIFFFieldReadCount(field) == TIFF_VARIABLE2) {
    std::uint32_t count = 0;
    if (TIFFGetField(tiff, tag, &count, &data) != 1) return std::nullopt;
    values.count = count;
  } else {
    std::uint16_t count = 0;
    if (TIFFGetField(tiff, tag, &count, &data) != 1) return std::nullopt;
    values.count = count;
  }
  if (data == nullptr) values.count = 0;
  values.data = data;
  return values;
}

std::vector<double> doublesOf(const Tiff& tiff, ttag_t tag, const char* name) {
  const std::optional<TagValues> v = tagValues(tiff.get(), tag);
  if (!v || v->count == 0) return {};
  if (v->type != TIFF_DOUBLE) tiff.fail(std::string(name) + " is not an array of doubles");
  const auto* d = static_cast<const double*>(v->data);
  return std::vector<double>(d, d + v->count);
}

std::vector<std::uint16_t> shortsOf(const Tiff& tiff, ttag_t tag, const char* name) {
  const std::optional<TagValues> v = tagValues(tiff.get(), tag);
  if (!v || v->count == 0) return {};
  if (v->type != TIFF_SHORT) tiff.fail(std::string(name) + " is not an array of shorts");
  const auto* s = static_cast<const std::uint16_t*>(v->data);
  return std::vector<std::uint16_t>(s, s + v->count);
}

std::optional<std::string> textOf(const Tiff& tiff, ttag_t tag) {
  const std::optional<TagValues> v = tagValues(tiff.get(), tag);
  if (!v) return std::nullopt;
  if (v->type != TIFF_ASCII && v->type != TIFF_UNDEFINED && v->type != TIFF_BYTE) {
    return std::nullopt;
  }
  std::string text(static_cast<const char*>(v->data), static_cast<std::size_t>(v->count));
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

// ---------------------------------------------------------------------------------------------
// The GDAL metadata: <GDALMetadata><Item name="..." [sample="N"] [role="..."]>value</Item>...

struct Metadata {
  std::map<std::string, std::string> items;                   // of the whole grid
  std::map<int, std::map<std::string, std::string>> samples;  // of one sample (band)
  bool present = false;

  std::string item(const std::string& name) const {
    const auto found = items.find(name);
    return found == items.end() ? "" : found->second;
  }
  std::string sampleItem(int sample, const std::string& name) const {
    const auto s = samples.find(sample);
    if (s == samples.end()) return "";
    const auto found = s->second.find(name);
    return found == s->second.end() ? "" : found->second;
  }
};

std::string unescaped(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '&') {
      for (const auto& [entity, character] : kEntities) {
        if (text.substr(i, entity.size()) == entity) {
          out += character;
          i += entity.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

// The value of attribute `name` within an element's opening tag, or nullopt.
std::optional<std::string> attribute(std::string_view tag, std::string_view name) {
  for (std::size_t at = 0; (at = tag.find(name, at)) != std::string_view::npos; at += name.size()) {
    const bool startsWord = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' ||
                                       tag[at - 1] == '\n' || tag[at - 1] == '\r');
    std::size_t i = at + name.size();
    while (i < tag.size() && tag[i] == ' ') ++i;
    if (!startsWord || i >= tag.size() || tag[i] != '=') continue;
    ++i;
    while (i < tag.size() && tag[i] == ' ') ++i;
    if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) return std::nullopt;
    const char quote = tag[i];
    const std::size_t end = tag.find(quote, i + 1);
    if (end == std::string_view::npos) return std::nullopt;
    return unescaped(tag.substr(i + 1, end - i - 1));
  }
  return std::nullopt;
}

Metadata parseMetadata(const Tiff& tiff, std::string_view xml) {
  Metadata metadata;
  metadata.present = true;
  constexpr std::string_view kOpen = "<Item", kClose = "</Item>";
  for (std::size_t at = 0; (at = xml.find(kOpen, at)) != std::string_view::npos;) {
    const std::size_t tagEnd = xml.find('>', at);
    if (tagEnd == std::string_view::npos) tiff.fail("its GDAL metadata has an unclosed <Item");
    const std::string_view tag = xml.substr(at, tagEnd - at);
    if (!tag.empty() && tag.back() == '/') {  // <Item ... />: no value
      at = tagEnd + 1;
      continue;
    }
    const std::size_t valueEnd = xml.find(kClose, tagEnd + 1);
    if (valueEnd == std::string_view::npos)
      tiff.fail("its GDAL metadata has an <Item> without </Item>");
    const std::string value = unescaped(xml.substr(tagEnd + 1, valueEnd - tagEnd - 1));
    at = valueEnd + kClose.size();
    const std::optional<std::string> name = attribute(tag, "name");
    if (!name) continue;
    const std::optional<std::string> sample = attribute(tag, "sample");
    if (!sample) {
      metadata.items[*name] = value;
      continue;
    }
    int index = -1;
    if (sample->empty() || sample->size() > 4 ||
        !std::all_of(sample->begin(), sample->end(), [](char c) { return c >= '0' && c <= '9'; })) {
      tiff.fail("its GDAL metadata names the sample '" + printableText(*sample) + "'");
    }
    index = std::stoi(*sample);
    metadata.samples[index][*name] = value;
  }
  return metadata;
}

// ---------------------------------------------------------------------------------------------
// The GeoKey directory: a header of four shorts (version, revision, minor revision, key count),
// then per key its id, where its value is (0: in the entry itself), the count and the value.

struct GeoKeys {
  std::optional<std::uint16_t> modelType, rasterType, geodeticCrs, angularUnits;
};

GeoKeys parseGeoKeys(const Tiff& tiff, const std::vector<std::uint16_t>& shorts) {
  GeoKeys keys;
  if (shorts.empty()) return keys;
  if (shorts.size() < kGeoKeyEntry) tiff.fail("its GeoKey directory is shorter than its header");
  const std::size_t count = shorts[3];
  if (count > (shorts.size() - kGeoKeyEntry) / kGeoKeyEntry) {
    tiff.fail("its GeoKey directory declares " + std::to_string(count) + " keys but holds " +
              std::to_string((shorts.size() - kGeoKeyEntry) / kGeoKeyEntry));
  }
  for (std::size_t k = 1; k <= count; ++k) {
    const std::uint16_t* entry = shorts.data() + k * kGeoKeyEntry;
    const std::uint16_t id = entry[0], location = entry[1], values = entry[2], value = entry[3];
    if (location != 0 || values != 1) continue;  // values elsewhere: none of the keys read here
    if (id == kModelTypeKey) keys.modelType = value;
    if (id == kRasterTypeKey) keys.rasterType = value;
    if (id == kGeodeticCrsKey) keys.geodeticCrs = value;
    if (id == kAngularUnitsKey) keys.angularUnits = value;
  }
  return keys;
}

// ---------------------------------------------------------------------------------------------
// One image (sub-grid) as read: its georeferencing and the samples asked for, rows from the north.

struct Image {
  std::uint32_t columns = 0, rows = 0;
  double west = 0, north = 0;          // deg: the first node (top left)
  double columnStep = 0, rowStep = 0;  // deg
  std::vector<std::vector<double>> samples;
  std::string named;  // "image N" for messages
};

struct ImageLayout {
  std::uint16_t samplesPerPixel = 1, bitsPerSample = 0, sampleFormat = SAMPLEFORMAT_UINT;
  std::uint16_t planar = PLANARCONFIG_CONTIG;
  bool tiled = false;
  std::uint32_t blockWidth = 0, blockHeight = 0;  // a tile, or a strip (width x rows per strip)
};

ImageLayout layoutOf(const Tiff& tiff, const Image& image) {
  TIFF* t = tiff.get();
  ImageLayout l;
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &l.samplesPerPixel);
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &l.bitsPerSample);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &l.sampleFormat);
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &l.planar);
  if (l.sampleFormat != SAMPLEFORMAT_IEEEFP || (l.bitsPerSample != 32 && l.bitsPerSample != 64)) {
    tiff.fail(image.named + ": its samples are " + std::to_string(l.bitsPerSample) +
              "-bit of sample format " + std::to_string(l.sampleFormat) +
              "; only 32- or 64-bit floating point samples are read");
  }
  if (l.planar != PLANARCONFIG_CONTIG && l.planar != PLANARCONFIG_SEPARATE) {
    tiff.fail(image.named + ": unknown planar configuration " + std::to_string(l.planar));
  }
  l.tiled = TIFFIsTiled(t) != 0;
  if (l.tiled) {
    TIFFGetField(t, TIFFTAG_TILEWIDTH, &l.blockWidth);
    TIFFGetField(t, TIFFTAG_TILELENGTH, &l.blockHeight);
  } else {
    std::uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    l.blockWidth = image.columns;
    l.blockHeight = std::min(rowsPerStrip, image.rows);
  }
  if (l.blockWidth == 0 || l.blockHeight == 0 || l.blockWidth > kMaxNodesPerSide ||
      l.blockHeight > kMaxNodesPerSide) {
    tiff.fail(image.named + ": its " + (l.tiled ? "tiles" : "strips") + " are " +
              std::to_string(l.blockWidth) + " x " + std::to_string(l.blockHeight) + " pixels");
  }
  return l;
}

// Refuses an image whose strips or tiles would decode to more than their bytes can hold, before
// anything is allocated for them.
void requireDataFor(const Tiff& tiff, const Image& image, const ImageLayout& l) {
  const ttag_t countsTag = l.tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS;
  std::uint64_t* counts = nullptr;
  if (TIFFGetField(tiff.get(), countsTag, &counts) != 1 || counts == nullptr) {
    tiff.fail(image.named + ": it has no " + (l.tiled ? "tile" : "strip") + " byte counts" +
              tiff.libtiffSays());
  }
  const std::uint64_t blocks =
      l.tiled ? TIFFNumberOfTiles(tiff.get()) : TIFFNumberOfStrips(tiff.get());
  std::uint64_t stored = 0;
  for (std::uint64_t i = 0; i < blocks; ++i) stored += std::min(counts[i], tiff.fileSize());
  const std::uint64_t decoded =
      std::uint64_t{image.columns} * image.rows * l.samplesPerPixel * (l.bitsPerSample / 8);
  if (decoded / kMaxDecodedPerByte > stored) {
    tiff.fail(image.named + ": its " + std::to_string(image.columns) + " x " +
              std::to_string(image.rows) + " pixels cannot lie in the " + std::to_string(stored) +
              " bytes of its " + (l.tiled ? "tiles" : "strips") + " (truncated?)");
  }
}

double sampleValue(const unsigned char* block, std::size_t index, int bits) {
  if (bits == 32) {
    float value;
    std::memcpy(&value, block + index * sizeof value, sizeof value);
    return value;
  }
  double value;
  std::memcpy(&value, block + index * sizeof value, sizeof value);
  return value;
}

// Decodes the samples asked for into image.samples (one vector per sample, rows from the north).
void readSamples(const Tiff& tiff, Image& image, const std::vector<int>& wanted) {
  const ImageLayout l = layoutOf(tiff, image);
  for (int s : wanted) {
    if (s >= l.samplesPerPixel) {
      tiff.fail(image.named + ": it has " + std::to_string(l.samplesPerPixel) +
                " samples per pixel, not the sample " + std::to_string(s) + " its metadata names");
    }
  }
  requireDataFor(tiff, image, l);
  TIFF* t = tiff.get();
  const std::size_t bytesPerSample = l.bitsPerSample / 8;
  const bool separate = l.planar == PLANARCONFIG_SEPARATE;
  const std::size_t samplesInBlock = separate ? 1 : l.samplesPerPixel;
  const std::size_t blockBytes =
      std::size_t{l.blockWidth} * l.blockHeight * samplesInBlock * bytesPerSample;
  const tmsize_t libtiffBlock = l.tiled ? TIFFTileSize(t) : TIFFStripSize(t);
  if (libtiffBlock <= 0 || static_cast<std::uint64_t>(libtiffBlock) < blockBytes ||
      blockBytes > static_cast<std::uint64_t>(kMaxTiffAllocation)) {
    tiff.fail(image.named + ": its blocks' size does not fit its layout" + tiff.libtiffSays());
  }
  const std::size_t nodes = std::size_t{image.columns} * image.rows;
  image.samples.assign(wanted.size(), std::vector<double>(nodes));
  std::vector<unsigned char> block(static_cast<std::size_t>(libtiffBlock));
  const std::uint16_t planes = separate ? l.samplesPerPixel : 1;
  for (std::uint32_t top = 0; top < image.rows; top += l.blockHeight) {
    for (std::uint32_t left = 0; left < image.columns; left += l.blockWidth) {
      for (std::uint16_t plane = 0; plane < planes; ++plane) {
        // The wanted samples this block holds: in a separate plane only the plane's own.
        bool needed = !separate;
        for (int s : wanted) needed = needed || s == plane;
        if (!needed) continue;
        const std::uint32_t index =
            l.tiled ? TIFFComputeTile(t, left, top, 0, plane) : TIFFComputeStrip(t, top, plane);
        const std::uint32_t rowsHere = std::min(l.blockHeight, image.rows - top);
        const tmsize_t wantBytes = static_cast<tmsize_t>(
            l.tiled ? blockBytes
                    : std::size_t{rowsHere} * l.blockWidth * samplesInBlock * bytesPerSample);
        const tmsize_t got = l.tiled ? TIFFReadEncodedTile(t, index, block.data(), wantBytes)
                                     : TIFFReadEncodedStrip(t, index, block.data(), wantBytes);
        if (got != wantBytes) {
          tiff.fail(image.named + ": its " + (l.tiled ? "tile " : "strip ") +
                    std::to_string(index) + " cannot be decoded" + tiff.libtiffSays());
        }
        const std::uint32_t columnsHere = std::min(l.blockWidth, image.columns - left);
        for (std::size_t w = 0; w < wanted.size(); ++w) {
          if (separate && wanted[w] != plane) continue;
          const std::size_t offset = separate ? 0 : static_cast<std::size_t>(wanted[w]);
          for (std::uint32_t r = 0; r < rowsHere; ++r) {
            for (std::uint32_t c = 0; c < columnsHere; ++c) {
              const std::size_t at = (std::size_t{r} * l.blockWidth + c) * samplesInBlock + offset;
              image.samples[w][std::size_t{top + r} * image.columns + left + c] =
                  sampleValue(block.data(), at, l.bitsPerSample);
            }
          }
        }
      }
    }
  }
}

// The georeferencing: ModelTiepoint (raster I, J, K -> model X, Y, Z) and ModelPixelScale, the
// first node being the pixel centre of a pixel-is-area image (half a pixel from the tie point's
// corner) and the tie point itself in a pixel-is-point image.
void georeference(const Tiff& tiff, const GeoKeys& keys, Image& image) {
  const std::vector<double> scale = doublesOf(tiff, kTagModelPixelScale, "ModelPixelScale");
  const std::vector<double> tie = doublesOf(tiff, kTagModelTiepoint, "ModelTiepoint");
  if (scale.size() < 2 || tie.size() < 6) {
    tiff.fail(image.named +
              ": it has no ModelTiepoint and ModelPixelScale tags (a grid is "
              "georeferenced by them)");
  }
  for (double v : {scale[0], scale[1], tie[0], tie[1], tie[3], tie[4]}) {
    if (!std::isfinite(v))
      tiff.fail(image.named + ": its georeferencing holds a non-finite number");
  }
  if (!(scale[0] > 0.0 && scale[1] > 0.0)) {
    tiff.fail(image.named + ": its pixel scale (" + shown(scale[0]) + ", " + shown(scale[1]) +
              ") is not positive");
  }
  const std::uint16_t raster = keys.rasterType.value_or(kRasterPixelIsArea);
  if (raster != kRasterPixelIsArea && raster != kRasterPixelIsPoint) {
    tiff.fail(image.named + ": GTRasterTypeGeoKey is " + std::to_string(raster) +
              " (neither pixel-is-area nor pixel-is-point)");
  }
  const double half = raster == kRasterPixelIsArea ? 0.5 : 0.0;
  image.columnStep = scale[0];
  image.rowStep = scale[1];
  image.west = tie[3] + (half - tie[0]) * scale[0];
  image.north = tie[4] - (half - tie[1]) * scale[1];
  const double east = image.west + (image.columns - 1.0) * image.columnStep;
  const double south = image.north - (image.rows - 1.0) * image.rowStep;
  if (!(image.west >= -kMaxLongitude && east <= kMaxLongitude && south >= -kMaxLatitude &&
        image.north <= kMaxLatitude)) {
    tiff.fail(image.named + ": its nodes (" + shown(image.west) + " to " + shown(east) + " E, " +
              shown(south) + " to " + shown(image.north) +
              " N) lie beyond 90 deg of latitude or 180 deg of longitude");
  }
}

// The image of the current directory: size, GeoKeys, georeferencing and metadata (the first
// image's where this one has none).
Image imageOf(const Tiff& tiff, int number, GeoKeys& keys) {
  Image image;
  image.named = "image " + std::to_string(number);
  TIFF* t = tiff.get();
  if (TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &image.columns) != 1 ||
      TIFFGetField(t, TIFFTAG_IMAGELENGTH, &image.rows) != 1) {
    tiff.fail(image.named + ": it has no image width or length");
  }
  if (image.columns < 2 || image.rows < 2 || image.columns > kMaxNodesPerSide ||
      image.rows > kMaxNodesPerSide || std::uint64_t{image.columns} * image.rows > kMaxNodes) {
    tiff.fail(image.named + ": it is " + std::to_string(image.columns) + " x " +
              std::to_string(image.rows) + " nodes (a grid has 2 to " +
              std::to_string(kMaxNodesPerSide) + " on a side, " + std::to_string(kMaxNodes) +
              " in all)");
  }
  const GeoKeys own = parseGeoKeys(tiff, shortsOf(tiff, kTagGeoKeyDirectory, "GeoKeyDirectory"));
  // Later images may leave out what the first one says.
  if (own.modelType) keys.modelType = own.modelType;
  if (own.rasterType) keys.rasterType = own.rasterType;
  if (own.geodeticCrs) keys.geodeticCrs = own.geodeticCrs;
  if (own.angularUnits) keys.angularUnits = own.angularUnits;
  if (keys.modelType && *keys.modelType != kModelTypeGeographic) {
    tiff.fail(image.named + ": GTModelTypeGeoKey is " + std::to_string(*keys.modelType) +
              ", not geographic (2): only grids in longitude and latitude are read");
  }
  if (keys.angularUnits && *keys.angularUnits != kAngularUnitDegree) {
    tiff.fail(image.named + ": its angular unit is EPSG:" + std::to_string(*keys.angularUnits) +
              ", not the degree (9102)");
  }
  georeference(tiff, keys, image);
  return image;
}

// Reads every image of the file in turn: `each` takes the image (its samples not yet read), its
// metadata and the GeoKeys in force.
template <typename Each>
void forEachImage(const Tiff& tiff, Each each) {
  Metadata first;
  GeoKeys keys;
  int number = 0;
  do {
    ++number;
    if (number > kMaxSubGrids) tiff.fail("more than " + std::to_string(kMaxSubGrids) + " images");
    const std::optional<std::string> xml = textOf(tiff, kTagGdalMetadata);
    Metadata metadata = xml ? parseMetadata(tiff, *xml) : first;
    if (number == 1) first = metadata;
    Image image = imageOf(tiff, number, keys);
    each(image, metadata, keys);
  } while (TIFFReadDirectory(tiff.get()) == 1);
  // libtiff ends the chain quietly at its end and with an error at a broken link.
  const std::string says = tiff.libtiffSays();
  if (!says.empty())
    tiff.fail("its directory of image " + std::to_string(number + 1) + " cannot be read" + says);
}

// The sample whose DESCRIPTION is `band`, else (no sample described at all) `fallback`.
int sampleNamed(const Tiff& tiff, const Metadata& m, const Image& image, const std::string& band,
                int fallback) {
  std::string described;
  for (const auto& [sample, items] : m.samples) {
    const auto d = items.find("DESCRIPTION");
    if (d == items.end()) continue;
    if (d->second == band) return sample;
    described += (described.empty() ? "" : ", ") + printableText(d->second);
  }
  if (described.empty()) return fallback;
  tiff.fail(image.named + ": no band is " + band + " (its bands: " + described + ")");
}

void requireType(const Tiff& tiff, const Metadata& m, const Image& image, const char* type) {
  const std::string found = m.item("TYPE");
  if (!found.empty() && found != type) {
    tiff.fail(image.named + ": it is a " + printableText(found) + " grid, not a " + type + " grid");
  }
}

// ---------------------------------------------------------------------------------------------
// Nesting: each image goes into the finest earlier sub-grid whose extent holds its own.

struct Extent {
  double west, south, east, north, slack;
  bool holds(const Extent& other) const {
    return other.west >= west - slack && other.east <= east + slack &&
           other.south >= south - slack && other.north <= north + slack;
  }
};

template <typename SubGrid, typename ExtentOf>
void nest(std::vector<SubGrid>& grids, std::vector<std::size_t>& topLevel, ExtentOf extentOf) {
  const std::size_t self = grids.size() - 1;
  const Extent mine = extentOf(grids[self]);
  std::vector<std::size_t>* candidates = &topLevel;
  for (bool descended = true; descended;) {
    descended = false;
    for (std::size_t index : *candidates) {
      if (extentOf(grids[index]).holds(mine)) {
        candidates = &grids[index].children;
        descended = true;
        break;
      }
    }
  }
  candidates->push_back(self);
}

// ---------------------------------------------------------------------------------------------
// The datums a horizontal grid names.

struct DatumAxes {
  double major, minor;  // m
};

DatumAxes besselAxes() {
  const GeodeticRow& bessel = geodeticRow(1);
  return {bessel.semiMajorAxis,
          bessel.semiMajorAxis /
              std::sqrt(1.0 + bessel.secondEccentricity * bessel.secondEccentricity)};
}

DatumAxes grs80Axes() {
  constexpr double a = 6378137.0, inverseFlattening = 298.257222101;
  return {a, a * (1.0 - 1.0 / inverseFlattening)};
}

DatumAxes axesOf(int code) {
  if (std::find(std::begin(kBesselCrsCodes), std::end(kBesselCrsCodes), code) !=
      std::end(kBesselCrsCodes)) {
    return besselAxes();
  }
  if (std::find(std::begin(kGrs80CrsCodes), std::end(kGrs80CrsCodes), code) !=
      std::end(kGrs80CrsCodes)) {
    return grs80Axes();
  }
  return {std::nan(""), std::nan("")};
}

// An EPSG code from the metadata ("4258"), or nullopt where it names none; refuses a malformed one.
std::optional<int> codeItem(const Tiff& tiff, const Metadata& m, const char* name) {
  const std::string text = m.item(name);
  if (text.empty()) return std::nullopt;
  if (text.size() > 9 ||
      !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    tiff.fail(std::string(name) + " is '" + printableText(text) + "', not an EPSG code");
  }
  return std::stoi(text);
}

Ntv2Datums datumsOf(const Tiff& tiff, const Metadata& m, const GeoKeys& keys) {
  Ntv2Datums d{};
  std::optional<int> from = codeItem(tiff, m, "source_crs_epsg_code");
  if (!from && keys.geodeticCrs && *keys.geodeticCrs != 0 && *keys.geodeticCrs != 32767) {
    from = *keys.geodeticCrs;
  }
  const std::optional<int> to = codeItem(tiff, m, "target_crs_epsg_code");
  d.fromNamed = from.has_value();
  d.toNamed = to.has_value();
  const DatumAxes fromAxes = from ? axesOf(*from) : DatumAxes{std::nan(""), std::nan("")};
  const DatumAxes toAxes = to ? axesOf(*to) : DatumAxes{std::nan(""), std::nan("")};
  d.from = from ? "EPSG:" + std::to_string(*from) : "";
  d.to = to ? "EPSG:" + std::to_string(*to) : "";
  d.majorFrom = fromAxes.major;
  d.minorFrom = fromAxes.minor;
  d.majorTo = toAxes.major;
  d.minorTo = toAxes.minor;
  return d;
}

// Arc seconds per unit of an angular UNITTYPE (arc-second where none is given).
double arcSecondsPer(const Tiff& tiff, const Image& image, const std::string& unit) {
  if (unit.empty() || unit == "arc-second") return 1.0;
  if (unit == "degree") return kArcSecondsPerDegree;
  tiff.fail(image.named + ": its offsets are in '" + printableText(unit) +
            "'; arc-second or degree are read");
}

// ---------------------------------------------------------------------------------------------

std::vector<unsigned char> fileBytes(const std::string& path) {
  namespace fs = std::filesystem;
  const auto fail = [&](const std::string& what) -> void {
    throw std::invalid_argument("GeoTIFF grid " + path + ": " + what);
  };
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found || status.type() == fs::file_type::none) {
    fail("cannot be opened");
  }
  if (status.type() != fs::file_type::regular) fail("is not a regular file");
  const std::uintmax_t size = fs::file_size(path, error);
  if (error) fail("cannot be read: " + error.message());
  if (size > std::numeric_limits<std::size_t>::max() / 2) fail("is too large to read");
  std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
  std::ifstream file(path, std::ios::binary);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file || file.gcount() != static_cast<std::streamsize>(bytes.size())) {
    fail("cannot be read (did the file change while it was read?)");
  }
  return bytes;
}

// Runs a reader on the file's bytes: failures of memory and of the file system become refusals.
template <typename Grid, typename Reader>
Grid fromFile(const std::string& path, Reader reader) {
  try {
    const std::vector<unsigned char> bytes = fileBytes(path);
    return reader(bytes.data(), bytes.size(), path);
  } catch (const std::invalid_argument&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw std::invalid_argument("GeoTIFF grid " + path + ": too large to hold in memory");
  } catch (const std::exception& failure) {
    throw std::invalid_argument("GeoTIFF grid " + path + ": cannot be read: " + failure.what());
  }
}

}  // namespace

bool geoTiffGridsSupported() {
  return true;
}

Ntv2Grid readGeoTiffShiftGrid(const unsigned char* bytes, std::size_t size,
                              const std::string& origin) {
  const Tiff tiff(bytes, size, origin);
  std::vector<Ntv2SubGrid> grids;
  std::vector<std::size_t> topLevel;
  std::optional<Ntv2Datums> datums;
  forEachImage(tiff, [&](Image& image, const Metadata& m, const GeoKeys& keys) {
    requireType(tiff, m, image, "HORIZONTAL_OFFSET");
    if (!datums) datums = datumsOf(tiff, m, keys);
    const int latitudeSample = sampleNamed(tiff, m, image, "latitude_offset", 0);
    const int longitudeSample = sampleNamed(tiff, m, image, "longitude_offset", 1);
    const double latitudeUnit =
        arcSecondsPer(tiff, image, m.sampleItem(latitudeSample, "UNITTYPE"));
    const double longitudeUnit =
        arcSecondsPer(tiff, image, m.sampleItem(longitudeSample, "UNITTYPE"));
    const std::string positive = m.sampleItem(longitudeSample, "positive_value");
    if (!positive.empty() && positive != "east" && positive != "west") {
      tiff.fail(image.named + ": positive_value is '" + printableText(positive) +
                "', neither east nor west");
    }
    const double eastSign = positive == "west" ? -1.0 : 1.0;
    readSamples(tiff, image, {latitudeSample, longitudeSample});

    Ntv2SubGrid grid;
    grid.name = image.named;
    grid.columns = static_cast<int>(image.columns);
    grid.rows = static_cast<int>(image.rows);
    grid.west = image.west * kRadiansPerDegree;
    grid.north = image.north * kRadiansPerDegree;
    grid.longitudeStep = image.columnStep * kRadiansPerDegree;
    grid.latitudeStep = image.rowStep * kRadiansPerDegree;
    grid.east = (image.west + (image.columns - 1.0) * image.columnStep) * kRadiansPerDegree;
    grid.south = (image.north - (image.rows - 1.0) * image.rowStep) * kRadiansPerDegree;
    grid.edgeTolerance = (grid.longitudeStep + grid.latitudeStep) * kSubGridEdgeTolerance;
    const std::size_t columns = image.columns, rows = image.rows;
    grid.shifts.resize(2 * columns * rows);
    for (std::size_t row = 0; row < rows; ++row) {
      for (std::size_t column = 0; column < columns; ++column) {
        const std::size_t from = row * columns + column;
        const double latitude = image.samples[0][from], longitude = image.samples[1][from];
        if (!std::isfinite(latitude) || !std::isfinite(longitude)) {
          tiff.fail(image.named + ": the node in row " + std::to_string(row + 1) + ", column " +
                    std::to_string(column + 1) + " has a non-finite offset");
        }
        // The image's rows run from the north; the grid's from the south.
        const std::size_t to = (rows - 1 - row) * columns + column;
        // Arc seconds to radians as the NTv2 reader converts them (the same floats).
        grid.shifts[2 * to] = static_cast<float>(latitude * latitudeUnit * kRadiansPerArcSecond);
        grid.shifts[2 * to + 1] =
            static_cast<float>(eastSign * longitude * longitudeUnit * kRadiansPerArcSecond);
      }
    }
    image.samples.clear();
    grids.push_back(std::move(grid));
    nest(grids, topLevel, [](const Ntv2SubGrid& g) {
      return Extent{g.west, g.south, g.east, g.north, g.edgeTolerance * kNestingSlack};
    });
  });
  return Ntv2Grid("GeoTIFF grid", origin, *datums, std::move(grids), std::move(topLevel));
}

Ntv2Grid readGeoTiffShiftGridFile(const std::string& path) {
  return fromFile<Ntv2Grid>(path, readGeoTiffShiftGrid);
}

namespace {

// The quasigeoid is read at ETRS89 positions and gives DHHN2016 heights: a grid that names other
// CRSs belongs to another route.
void requireEtrs89ToDhhn2016(const Tiff& tiff, const Metadata& m, const GeoKeys& keys) {
  std::optional<int> from = codeItem(tiff, m, "source_crs_epsg_code");
  if (!from && keys.geodeticCrs && *keys.geodeticCrs != 0 && *keys.geodeticCrs != 32767) {
    from = *keys.geodeticCrs;
  }
  if (from && std::find(std::begin(kGrs80CrsCodes), std::end(kGrs80CrsCodes), *from) ==
                  std::end(kGrs80CrsCodes)) {
    tiff.fail("its positions are in EPSG:" + std::to_string(*from) +
              ", but heights are converted at ETRS89 (GRS80) positions");
  }
  const std::optional<int> to = codeItem(tiff, m, "target_crs_epsg_code");
  if (to && *to != kDhhn2016Code) {
    tiff.fail("it gives heights in EPSG:" + std::to_string(*to) +
              ", but normal heights are DHHN2016 (EPSG:" + std::to_string(kDhhn2016Code) + ")");
  }
}

}  // namespace

GeoidGrid readGeoTiffGeoidGrid(const unsigned char* bytes, std::size_t size,
                               const std::string& origin) {
  const Tiff tiff(bytes, size, origin);
  std::vector<GeoidSubGrid> grids;
  std::vector<std::size_t> topLevel;
  forEachImage(tiff, [&](Image& image, const Metadata& m, const GeoKeys& keys) {
    requireType(tiff, m, image, "VERTICAL_OFFSET_GEOGRAPHIC_TO_VERTICAL");
    requireEtrs89ToDhhn2016(tiff, m, keys);
    const int sample = sampleNamed(tiff, m, image, "geoid_undulation", 0);
    const std::string unit = m.sampleItem(sample, "UNITTYPE");
    if (!unit.empty() && unit != "metre") {
      tiff.fail(image.named + ": its undulations are in '" + printableText(unit) +
                "'; metre is read");
    }
    std::optional<double> noData;
    if (const std::optional<std::string> text = textOf(tiff, kTagGdalNoData)) {
      char* end = nullptr;
      const double value = std::strtod(text->c_str(), &end);
      if (end == text->c_str()) {
        tiff.fail(image.named + ": its no-data value '" + printableText(*text) + "' is no number");
      }
      noData = value;
    }
    readSamples(tiff, image, {sample});

    GeoidSubGrid grid;
    grid.columns = static_cast<int>(image.columns);
    grid.rows = static_cast<int>(image.rows);
    grid.west = image.west;
    grid.north = image.north;
    grid.longitudeStep = image.columnStep;
    grid.latitudeStep = image.rowStep;
    grid.east = image.west + (image.columns - 1.0) * image.columnStep;
    grid.south = image.north - (image.rows - 1.0) * image.rowStep;
    // A geoid grid ends at its outer nodes, as in the reference implementation (which gives a
    // shift grid's edges a tolerance, but not a geoid grid's).
    grid.edgeTolerance = 0.0;
    const std::size_t columns = image.columns, rows = image.rows;
    grid.undulations.resize(columns * rows);
    for (std::size_t row = 0; row < rows; ++row) {
      for (std::size_t column = 0; column < columns; ++column) {
        const double value = image.samples[0][row * columns + column];
        const bool none =
            noData && (value == *noData || (std::isnan(*noData) && std::isnan(value)));
        if (!none && !std::isfinite(value)) {
          tiff.fail(image.named + ": the node in row " + std::to_string(row + 1) + ", column " +
                    std::to_string(column + 1) + " is not a finite undulation");
        }
        grid.undulations[(rows - 1 - row) * columns + column] =
            none ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(value);
      }
    }
    image.samples.clear();
    grids.push_back(std::move(grid));
    nest(grids, topLevel, [](const GeoidSubGrid& g) {
      return Extent{g.west, g.south, g.east, g.north, g.edgeTolerance * kNestingSlack};
    });
  });
  return GeoidGrid(origin, std::move(grids), std::move(topLevel));
}

GeoidGrid readGeoTiffGeoidGridFile(const std::string& path) {
  return fromFile<GeoidGrid>(path, readGeoTiffGeoidGrid);
}

}  // namespace nuvex::engine
