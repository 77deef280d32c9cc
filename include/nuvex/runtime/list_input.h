/* List-directed (free-format) input: values separated by commas, blanks, tabs or line ends, with
   repeat factors (r*value, r* for r null values), null values (two commas), quoted strings,
   logical and complex constants, and a slash that ends the input.

   The control string names the items in the manner of scanf. Blanks between conversions are
   ignored. A conversion is '%', an optional 'A', an optional size letter 'h', 'l' or 'L', and a
   letter. With 'A' the next argument is an int64_t element count and the item is an array of
   that many adjacent elements; the element address (or the address and the int64_t element
   length for 'B' and 'S') follows:
     d, i   int32_t*  (int16_t* with h)         digits after an optional sign, else status 64
     b      int8_t*                             as d
     f      float*    (double* with l or L)     Fortran real: 1.5D3, 1.5+3 and 1.5-3 are
                                                accepted; other trailing text gives status 65
     c      char*                               the first character of the value
     s      char*                               the whole value, NUL-terminated
     B, S   char*, int64_t length               fixed-length character of length - 1 characters
                                                blank-padded, NUL in the last byte
     t      int16_t*  (int32_t* with l or L)    logical: 1 for T..., .T..., 0 otherwise; a
                                                first letter other than T or F gives status 63
     T      int8_t*                             logical as t
     z      float[2]  (double[2] with l or L)   complex constant (re, im)
     other  (none)                              the next input character after blanks must be
                                                this letter, else status 69
   A character of the control string outside a conversion reads one value whose first character
   must be that character (else status 69) and ends the scan.

   A null value leaves numeric, logical, character and complex items unchanged ('B' and 'S' are
   padded). A slash ends the input: later items are null, except that an 's' item becomes empty
   and a 'B' or 'S' item all blanks.

   Buffer sizes: a 'B' or 'S' item holds at most length - 1 characters. An 's' item receives the
   whole value, so its buffer must hold the longest value the input can carry plus the NUL:
   strlen(string) + 1 bytes always suffice for sscanlst, and 256 bytes for fscanlst unless a quoted
   value continues over several lines. A value repeated by a repeat factor is delivered to the
   later items with at most its first 79 characters. An array of 's' items has no element length
   and is refused with status 69.

   fscanlst reads the stream a line at a time (lines longer than 255 characters are read in
   pieces of 255, each taken as a line of its own) and reads further lines when a value or the
   separators between values run over the end of a line. */
#pragma once

#include "nuvex/runtime/common.h"

NUVEX_EXTERN_C_BEGIN

enum {
  SCANLST_END_OF_FILE = -1,     /* end of file while reading a line */
  SCANLST_NO_STREAM = 31,       /* fscanlst without a stream */
  SCANLST_READ_ERROR = 61,      /* read error, "%+" on another stream, no string */
  SCANLST_BAD_LOGICAL = 63,     /* logical value starting with neither T nor F */
  SCANLST_BAD_INTEGER = 64,     /* integer value with a non-digit after the sign */
  SCANLST_BAD_REAL = 65,        /* real value with an unexpected character */
  SCANLST_BAD_COMPLEX = 68,     /* complex value without an opening parenthesis */
  SCANLST_CONTROL_MISMATCH = 69 /* control string ends after '%', unmatched literal */
};

/* Reads one line of `stream` and fills the items of `control` from it and from further lines as
   needed. A control string beginning with "%+" continues the previous fscanlst on the same
   stream, in the same line and repeat state, without reading a new line. Returns the number of
   conversions done; the scan stops at the first error (see scanlst_status). */
int fscanlst(FILE* stream, const char* control, ...);

/* Fills the items of `control` from the NUL-terminated `string`; returns the number of
   characters consumed. */
int64_t sscanlst(const char* string, const char* control, ...);

/* 0, or the status of the error that stopped the last scan (SCANLST_* codes). */
int scanlst_status(void);

NUVEX_EXTERN_C_END
