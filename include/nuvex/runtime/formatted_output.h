/* Formatted output: the WRITE entries with their conversion strings, and the editing of reals
   (D, E, F, G) and integers (I, O, Z, B) into fields. */
#pragma once

#include "nuvex/runtime/common.h"
#include "nuvex/runtime/format_types.h"

NUVEX_EXTERN_C_BEGIN

/* Starts a formatted direct-access WRITE of record `rec` on unit 0..99 and edits the items of
   `conv` ("%d %lf %s\n" style; "%A<type>" takes a 64-bit count before an array pointer). Returns
   the number of conversions processed, 0 when the statement is refused (iostat tells why). */
int wrtfmt_rec(int unit, int rec, const char* format, const char* conv, ...);
/* The same for a sequential formatted WRITE on unit 0..99 or the standard output unit 102. */
int wrtfmt_seq(int unit, const char* format, const char* conv, ...);
/* Continues the WRITE in progress on the unit (0..99, the internal unit 100, or 102). A newline
   in `conv` ends the record and the statement. */
int wrtfmt(int unit, const char* conv, ...);

/* Edits `x` under the D, E, F or G descriptor `d` with scale factor `scale` and the SP flag
   `plus` into `out`: exactly d->width characters and a NUL (out needs width + 1 bytes). The
   descriptor is normalised in place (upper-case letter, default d and e, G turned into E, d
   adjusted for a positive scale factor). */
void fpedit(double x, edit_descriptor* d, int scale, int plus, char* out);
/* Edits `value` under I, O, Z or B into `out`: exactly `width` characters and a NUL.
   `min_digits` is the m of Iw.m (negative when absent). */
void intedit(int value, int code, int width, int min_digits, int plus, char* out);
/* Sets (on != 0) or clears carriage control on external unit 0..99. */
void set_unit_carriage_flag(int unit, int on);

NUVEX_EXTERN_C_END
