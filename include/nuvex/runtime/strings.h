/* Character temporaries, blank-padded comparison and assignment, keyword normalisation.
   Character values are NUL-terminated byte strings; positions count from 0 and include both
   ends; a fixed-length variable of declared length n is a buffer of n + 1 bytes. */
#pragma once

#include "nuvex/runtime/common.h"

NUVEX_EXTERN_C_BEGIN

enum {
  CHRTMP_MAX_LENGTH = 65534,  /* characters a temporary can hold */
  CHRTMP_REUSE_SLACK = 51,    /* a buffer this much larger than needed is replaced */
  F_KEYWORD_BUFFER_SIZE = 120 /* f_lowtrim/f_trim scratch buffer: 119 characters and a NUL */
};

/* A character temporary: `size` characters of room in `buf` (size + 1 bytes), or size -1 and a
   null buffer. Holds at most 65534 characters. */
typedef struct CHRTMP {
  int32_t size;
  char* buf;
} CHRTMP;

/* Every element: size -1, no buffer. */
void f_tmpinit(CHRTMP* temporaries, int32_t count);
/* Every buffer freed; size -1, no buffer. */
void f_tmpfree(CHRTMP* temporaries, int32_t count);
/* A fresh empty buffer of length + 1 bytes (a negative length counts as 0). Fatal above 65534
   characters, on a failed allocation and for a null temporary. */
char* f_tmpalloc(CHRTMP* temporary, int32_t length);
/* Concatenates the strings up to a null pointer into the temporary. A string may lie in the
   temporary's own buffer (S = S // X): the result is then built in a new buffer. */
char* f_concat(CHRTMP* temporary, ...);
/* s[first..last] (0-based, inclusive) into the temporary, blank-padded past the end of s (also
   when first lies beyond it). Null s gives null. */
char* f_subs(CHRTMP* temporary, const char* s, int32_t first, int32_t last);
/* Blank-padded comparison: difference of the first unequal (signed) characters, 0 when equal.
   Null a: 0 if b is null too, else -1; null b: 1. */
int f_strcmp(const char* a, const char* b);
/* As f_strcmp with A-Z taken as lower case; null a gives 1, null b -1, the same pointer 0. */
int f_strcmpi(const char* a, const char* b);
/* Exactly `length` characters (blank-padded or cut) and a NUL into destination[0..length]; null
   arguments or length < 1 give null. Source and destination may overlap. */
char* f_assign(char* destination, const char* source, int32_t length);
/* destination[first..last] = source (blank-padded) in a variable of declared length `length`;
   bounds are clamped to the variable, text beyond the old end is blanked, a NUL goes to
   destination[length]. Null arguments or a negative length give null. */
char* f_assign_sub(char* destination, int32_t first, int32_t last, int32_t length,
                   const char* source);
/* s made exactly `length` characters long (needs length + 1 bytes); null s gives null. */
char* f_pad(char* s, int32_t length);
/* Appends source; returns the address of the new terminating NUL (for chaining). */
char* f_append(char* destination, const char* source);
/* A NUL in the last byte of each of `count` elements of `elementLength` bytes. */
void f_endelems(char* base, int32_t elementLength, int32_t count);
/* The keyword scratch buffer holding at most 119 characters of s (or its present contents when
   s is null), without leading/trailing blanks, tabs and newlines, A-Z lower-cased. Valid until
   the next f_lowtrim/f_trim. */
char* f_lowtrim(const char* s);
/* The scratch buffer trimmed again in place (no case change). */
char* f_trim(void);
/* At most 119 characters of source and a NUL into destination (120 bytes); returns result, or
   null for a null source or destination. */
char* f_copyname(char* result, const char* source, char* destination);

NUVEX_EXTERN_C_END
