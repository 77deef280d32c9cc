/* Formatted READ: the items of a statement are passed as a conversion string and their
   addresses, e.g. readfmt_seq(5, "(I5,F8.2)", "%d %lf", &count, &value). Each entry returns the
   number of conversions processed (an array counts as one), or 0 when the statement is refused.

   Conversions: % [A count(int64)] [h|l|L] letter
     S  char* p, int n   fixed-length character of n bytes (n - 1 characters, blank-padded)
     s  char*            NUL-terminated string without limit
     T  int8_t*          logical;  t int16_t* (int32_t* with l or L)
     c  int8_t*          integer;  d, i int32_t* (int16_t* with h)
     f  float*           real (double* with l or L)
     z  float[2]         complex (double[2] with l) */
#pragma once

#include "nuvex/runtime/common.h"

NUVEX_EXTERN_C_BEGIN

/* Direct-access READ of record `rec` on unit 0..99. */
int readfmt_rec(int unit, int rec, const char* format, const char* conv, ...);
/* Sequential READ on unit 0..99 or the standard input unit 101. */
int readfmt_seq(int unit, const char* format, const char* conv, ...);
/* Continues the READ in progress on unit 0..99, the internal unit 100 or 101. */
int readfmt(int unit, const char* conv, ...);

NUVEX_EXTERN_C_END
