/* Numeric, bit and integer intrinsics for calculation code. Pure functions of their arguments
   (sipow alone writes a warning). Integer results wrap around on overflow in two's complement;
   no function traps or reports an error. "16" and "32" name the width of the value and result;
   bit positions count from 0 at the least significant bit. */
#pragma once

#include "nuvex/runtime/common.h"

NUVEX_EXTERN_C_BEGIN

/* ---- Powers with an integer exponent (binary powering) ------------------------------------ */

/* x**n. A zero x (either sign) gives 0.0 for every n; a negative n powers 1/x with -n. */
double dipow(double x, int32_t n);
/* x**n, wrapping. x = 0 gives 0 for every n (n = 0 included). For n < 0: 0 when x > 1 or
   x < -1, 1 for x = 1, +-1 for x = -1. */
int32_t iipow(int32_t x, int32_t n);
/* As iipow in 16 bits. When the accumulated 32-bit product does not fit 16 bits, writes
   "WARNING: integer truncation in sipow()" and an empty line to standard output; the low 16
   bits are returned in every case. */
int16_t sipow(int16_t x, int16_t n);

/* ---- Rounding and sign transfer ------------------------------------------------------------ */

/* x rounded to the nearest whole number, halves away from zero. */
double danint(double x);
/* The same rounding as a 32-bit integer. A result outside the 32-bit range, and NaN, give
   INT32_MIN (the value the hardware conversion yields). idnint is the same function. */
int32_t nint(double x);
int32_t idnint(double x);
/* x truncated toward zero. */
double daint(double x);
/* |a| when b >= 0, -|a| when b < 0. sisign widens a first; iisign wraps for INT32_MIN. dsign
   treats b = -0.0 (and NaN) as not below zero. */
int32_t sisign(int16_t a, int16_t b);
int32_t iisign(int32_t a, int32_t b);
double dsign(double a, double b);

/* ---- Bit manipulation ---------------------------------------------------------------------
   Positions outside the value's width leave ibset/ibclr values unchanged and make btest 0.
   Shifts of magnitude >= the width give 0 to the left and the sign fill to the right. */

int16_t ibset16(int16_t value, int16_t position);
int32_t ibset32(int32_t value, int32_t position);
int16_t ibclr16(int16_t value, int16_t position);
int32_t ibclr32(int32_t value, int32_t position);
/* 1 if bit `position` is set, else 0. */
int16_t btest16(int16_t value, int16_t position);
int32_t btest32(int32_t value, int32_t position);
/* shift > 0: left; shift < 0: right by -shift, arithmetic (the sign bit is copied in). */
int16_t ishft16(int16_t value, int16_t shift);
int32_t ishft32(int32_t value, int32_t shift);
/* Bits source_position .. source_position + length - 1 of source replace the bits from
   destination_position of *destination; its other bits stay. Bits that would lie outside the
   width on either side are not moved; a length below 1 does nothing. */
void mvbits16(int16_t source, int16_t source_position, int16_t length, int16_t* destination,
              int16_t destination_position);
void mvbits32(int32_t source, int32_t source_position, int32_t length, int32_t* destination,
              int32_t destination_position);
/* The field of `length` bits from `position`, right-justified, zero-extended. 0 when the field
   does not lie within the width (position + length above it, negative arguments) or length 0. */
int16_t ibits16(int16_t value, int16_t position, int16_t length);
int32_t ibits32(int32_t value, int32_t position, int32_t length);
/* The rightmost `size` bits rotated by `shift` (left for positive, right for negative); the
   other bits stay. Shift 0 gives the value; size outside 1..width or |shift| > size gives 0. */
int16_t ishftc16(int16_t value, int16_t shift, int16_t size);
int32_t ishftc32(int32_t value, int32_t shift, int32_t size);

/* ---- Minimum, absolute value, remainder, product, substring position ----------------------- */

int16_t imin16(int16_t a, int16_t b);
int32_t imin32(int32_t a, int32_t b);
/* a if b > a, else b. */
double dmin2(double a, double b);
/* The smallest of the values before the sentinel that ends the list (1e38 for dminv,
   2147483646 for iminv32, 32766 for iminv16); 0 when the first value is the sentinel. The
   integer forms take their values as int (16-bit values are promoted by the call; iminv16's
   first value is an int as well, because a variable argument list cannot follow a 16-bit
   parameter). */
double dminv(double first, ...);
int32_t iminv32(int32_t first, ...);
int16_t iminv16(int first, ...);
/* |a| in 16 bits; INT16_MIN wraps to itself. */
int16_t iabs16(int16_t a);
/* Remainder of the truncating division, with the sign of a. A zero divisor gives 0. */
int16_t imod16(int16_t a, int16_t b);
int32_t imod32(int32_t a, int32_t b);
double dmul(double a, double b);
/* 1-based position of the first occurrence of substring in string, 0 when it does not occur;
   a null or empty substring gives the length of the string + 1. A null string counts as
   empty. */
int32_t f_index(const char* string, const char* substring);

/* Sentinels that end the value lists of dminv, iminv32 and iminv16. */
#define F_DMINV_SENTINEL 1e38
#define F_IMINV32_SENTINEL 2147483646
#define F_IMINV16_SENTINEL 32766

NUVEX_EXTERN_C_END
