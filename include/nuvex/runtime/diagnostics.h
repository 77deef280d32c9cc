/* Runtime diagnostics: fatal errors, warnings, memory errors and format-context reports. */
#pragma once

#include "nuvex/runtime/common.h"

NUVEX_EXTERN_C_BEGIN

/* The diagnostics stream (standard output at load; a null stream means standard output). */
extern FILE* f_diagnostics;
/* Statement label of the FORMAT in use (0 when none) and its text. */
extern int32_t f_current_format_label;
extern const char* f_current_format_text;

/* "VOKS ERROR: text", all external units closed, reportFailure; then the calculation is
   aborted (CCalcAbortException when the host's reportFailure returns). */
NUVEX_NORETURN void f_error(const char* text);
/* "VOKS WARNING: text" on the diagnostics stream; work goes on. */
void f_warning(const char* text);
/* "MEM ERROR: text", reportFailure (line 165); the calculation is aborted. */
NUVEX_NORETURN void f_mem_error(const char* text);
/* Reports every null pointer of the array as a memory error naming `routine`. */
void f_check_alloc(void** pointers, uint32_t count, const char* routine);
/* Frees every non-null pointer of the array. */
void f_free_all(void** pointers, uint32_t count);
/* Format-context reports: the text, then the FORMAT with "<<?>>" before `position`. */
void f_format_error(const char* text, const char* position);
void f_format_warning(const char* text, const char* position);
void f_format_context(const char* text, const char* position);

NUVEX_EXTERN_C_END
