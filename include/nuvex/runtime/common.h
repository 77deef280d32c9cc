/* Shared definitions of the calculation runtime. */
#pragma once

#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
#define NUVEX_EXTERN_C_BEGIN extern "C" {
#define NUVEX_EXTERN_C_END }
#define NUVEX_NORETURN [[noreturn]]
#else
#define NUVEX_EXTERN_C_BEGIN
#define NUVEX_EXTERN_C_END
#define NUVEX_NORETURN _Noreturn
#endif
