// Chooses the grid reader by the file's first bytes.
#include "engine/grid_files.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "engine/geotiff_grid.h"

namespace nuvex::engine {
namespace {

constexpr std::size_t kTiffMagicSize = 4;

// Whether the regular file at path begins as a TIFF file. Anything that is not a readable regular
// file goes to the NTv2 reader, whose messages say what it is.
bool tiffFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  std::ifstream file(path, std::ios::binary);
  unsigned char magic[kTiffMagicSize] = {};
  file.read(reinterpret_cast<char*>(magic), kTiffMagicSize);
  return file.gcount() == static_cast<std::streamsize>(kTiffMagicSize) &&
         looksLikeTiff(magic, kTiffMagicSize);
}

}  // namespace

bool looksLikeTiff(const unsigned char* bytes, std::size_t size) {
  if (size < kTiffMagicSize) return false;
  const bool little = bytes[0] == 'I' && bytes[1] == 'I' && bytes[2] == 42 && bytes[3] == 0;
  const bool big = bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && bytes[3] == 42;
  return little || big;
}

std::shared_ptr<const Ntv2Grid> readShiftGridFile(const std::string& path) {
  if (tiffFile(path)) return std::make_shared<const Ntv2Grid>(readGeoTiffShiftGridFile(path));
  return std::make_shared<const Ntv2Grid>(Ntv2Grid::fromFile(path));
}

}  // namespace nuvex::engine
