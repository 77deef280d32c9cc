// The process-wide point arrays of TRGU (1-based; zero at load).
#include "nuvex/engine.h"

namespace nuvex {

PointArray GRID_XIN{};
PointArray GRID_YIN{};
ZoneArray GRID_ZONEIN{};
PointArray GEO_XIN{};
PointArray GEO_YIN{};
PointArray HGT_IN{};
PointArray GRID_XOUT{};
PointArray GRID_YOUT{};
ZoneArray GRID_ZONEOUT{};
PointArray GEO_XOUT{};
PointArray GEO_YOUT{};
PointArray HGT_OUT{};

}  // namespace nuvex
