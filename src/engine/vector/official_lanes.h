// The official datum stage of the vector block: the lanes of a block of eight points, as arrays.
// Built with the vector path only; the processor must have AVX2 and FMA.
#pragma once

#include "engine/official_datum.h"

namespace nuvex::engine {

// Shifts the lanes in `lanes` (bit k: lane k) of the geographic points (deg) and returns those it
// served. The others, left untouched, go to the scalar path: lanes without a path, and lanes so
// near an edge of a sub-grid or of the area of use that the unprojection's last bits could
// decide on which side they fall.
// height: the lanes' heights, changed at the ETRS89 point as the route says (which must need no
// three dimensions, see OfficialDatum::heightsInThreeDimensions); null without heights. Lanes
// where the quasigeoid has no value are left to the scalar path too.
// epoch: the lanes' epochs (decimal years, acceptable ones), for a route that needs them; else
// unused.
__attribute__((target("avx2,fma"))) unsigned shiftOfficialLanes(const OfficialDatum& datum,
                                                                double* latitude, double* longitude,
                                                                double* height, const double* epoch,
                                                                unsigned lanes);

}  // namespace nuvex::engine
