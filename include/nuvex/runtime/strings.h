/* Character temporaries, blank-padded comparison and assignment, keyword normalisation. */
#pragma once

#include "nuvex/runtime/common.h"

NUVEX_EXTERN_C_BEGIN

/* A character temporary: `size` characters of room in `buf` (size + 1 bytes), or size -1 and a
   null buffer. Holds at most 65534 characters. */
typedef struct CHRTMP {
  int32_t size;
  char* buf;
} CHRTMP;

void f_tmpinit(CHRTMP* temporaries, int32_t count);
void f_tmpfree(CHRTMP* temporaries, int32_t count);
char* f_tmpalloc(CHRTMP* temporary, int32_t length);
/* Concatenates the strings up to a null pointer into the temporary. */
char* f_concat(CHRTMP* temporary, ...);
/* s[first..last] (0-based, inclusive) into the temporary, blank-padded past the end of s. */
char* f_subs(CHRTMP* temporary, const char* s, int32_t first, int32_t last);
int f_strcmp(const char* a, const char* b);
int f_strcmpi(const char* a, const char* b);
char* f_assign(char* destination, const char* source, int32_t length);
char* f_assign_sub(char* destination, int32_t first, int32_t last, int32_t length,
                   const char* source);
char* f_pad(char* s, int32_t length);
char* f_append(char* destination, const char* source);
void f_endelems(char* base, int32_t elementLength, int32_t count);
char* f_lowtrim(const char* s);
char* f_trim(void);
char* f_copyname(char* result, const char* source, char* destination);

NUVEX_EXTERN_C_END
