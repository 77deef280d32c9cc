/* FORMAT interpretation: lookup by label and the lazy walk from one data edit descriptor to the
   next, performing the control edits passed on the way. */
#pragma once

#include "nuvex/runtime/common.h"
#include "nuvex/runtime/format_types.h"
#include "nuvex/runtime/units.h"

NUVEX_EXTERN_C_BEGIN

/* The text of the table entry with `label`; the label becomes the current format label. An
   unknown label is the fatal error "format reference wasn't found for '<label>'". */
const char* find_format(int32_t label, const format_table_entry* table);

/* Starts a statement's FORMAT on `unit` (0..102): clears the descriptor repetition state and puts
   the unit's format state at the opening parenthesis. A missing text or one that does not begin
   with "(" is fatal. */
void init_format(int unit, const char* text);

/* Walks to the next data edit descriptor, performing the control edits on the way ("/", literals,
   positioning, P, BN/BZ, SP/SS, reversion). `finishing` (end of an output record) stops at a colon
   or at the end of the format; `writing` selects the output behaviour of literals and records. */
void advance_format(unit_record* unit, int finishing, int writing);

/* Parses the data edit descriptor at the walk position, or hands out the saved copy while a repeat
   count such as the 3 of 3I4 runs. A unit with a non-zero iostat gets an empty descriptor (code 0,
   width 0, digits -1, exponent 2) and the walk is left alone. */
void next_edit_descriptor(unit_record* unit, edit_descriptor* out);

NUVEX_EXTERN_C_END
