// Module-level state of the runtime's diagnostics.
#include "nuvex/runtime/diagnostics.h"

FILE* f_diagnostics = stdout;
int32_t f_current_format_label = 0;
const char* f_current_format_text = nullptr;
