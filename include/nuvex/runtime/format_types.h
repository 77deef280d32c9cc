/* Types of FORMAT interpretation shared by the unit table and the editing routines. */
#pragma once

#include "nuvex/runtime/common.h"

NUVEX_EXTERN_C_BEGIN

enum { FORMAT_MAX_LEVELS = 7 }; /* the outermost parentheses and six nested groups */

enum { FORMAT_FLAG_BZ = 1u << 0, FORMAT_FLAG_SP = 1u << 1 };

/* Walk state of one FORMAT (one per formatted unit). */
typedef struct format_state {
  char* start;              /* the opening parenthesis */
  char* fcursor;            /* next character to interpret */
  char* reversion;          /* where format reversion resumes */
  int32_t reversion_repeat; /* repeat count of that group */
  int32_t reversion_level;  /* its level */
  uint32_t edit_flags;      /* FORMAT_FLAG_BZ, FORMAT_FLAG_SP */
  int32_t scale;            /* P scale factor */
  int32_t level;            /* current parenthesis level, 0 outermost */
  int32_t repeat[FORMAT_MAX_LEVELS];
  char* group[FORMAT_MAX_LEVELS];
} format_state;

/* One data edit descriptor handed to the editing routines. */
typedef struct edit_descriptor {
  int32_t code;     /* upper-case letter: A D E F G I L O Q Z */
  int32_t width;    /* w; 0 when not given */
  int32_t digits;   /* d; -1 when not given */
  int32_t exponent; /* e; 2 when not given */
} edit_descriptor;

/* Entry of a FORMAT table for lookup by statement label; the table ends with label 0. */
typedef struct format_table_entry {
  int32_t label;
  const char* text;
} format_table_entry;

NUVEX_EXTERN_C_END
