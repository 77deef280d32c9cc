// Pausing the calculation thread (the wait between attempts to open a file).
#pragma once

namespace nuvex::platform {

// Blocks the calling thread for `milliseconds` (through the replacement set for testing, if any).
void pause(unsigned milliseconds);

using PauseFn = void (*)(unsigned milliseconds);
// Replaces the pause, e.g. by a counter, so that retry loops run in no time; null restores the
// real pause. For tests only; not visible to hosts of the shared library.
void setPauseForTesting(PauseFn replacement);

}  // namespace nuvex::platform
