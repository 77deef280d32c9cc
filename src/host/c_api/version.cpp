#include "nuvex/nuvex.h"

const char* nuvex_version(void) {
  return NUVEX_VERSION_TEXT;
}
