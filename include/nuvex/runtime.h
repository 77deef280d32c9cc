/* nuvex calculation runtime: units and files, FORMAT interpretation, formatted, list-directed
   and unformatted I/O, character temporaries, intrinsics and diagnostics. Every operation has C
   linkage so that C and C++ calculation code can call it. The runtime keeps its state in
   module-level variables and serves one calculation thread at a time. */
#pragma once

#include "nuvex/runtime/binary.h"
#include "nuvex/runtime/common.h"
#include "nuvex/runtime/diagnostics.h"
#include "nuvex/runtime/format.h"
#include "nuvex/runtime/format_types.h"
#include "nuvex/runtime/formatted_input.h"
#include "nuvex/runtime/formatted_output.h"
#include "nuvex/runtime/intrinsics.h"
#include "nuvex/runtime/list_input.h"
#include "nuvex/runtime/statements.h"
#include "nuvex/runtime/strings.h"
#include "nuvex/runtime/units.h"
