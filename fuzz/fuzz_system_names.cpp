// System names of any content: "E:1"/"G:3" and EPSG codes as a file's CRS or a command line may
// give them. A name is either read (and then names a row of the systems and, for an EPSG code, of
// the code table) or refused with std::invalid_argument; nothing else may happen.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include "nuvex/systems.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const nuvex::NamedSystem named = nuvex::parseSystemName(text, "fuzzed");
    if (!nuvex::isKnownSystemCode(named.system.system)) std::abort();
    if (named.epsgCode != 0) {
      const nuvex::EpsgCode* row = nuvex::findEpsgCode(named.epsgCode);
      if (row == nullptr || row->system.system != named.system.system) std::abort();
      if (named.zone.has_value() != (row->system.type == nuvex::CoordinateType::Grid)) {
        std::abort();
      }
    }
  } catch (const std::invalid_argument&) {
    // refused with a message: the expected answer to most texts
  }
  return 0;
}
