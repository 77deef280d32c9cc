/* The unit table and file connection. */
#pragma once

#include "nuvex/runtime/common.h"
#include "nuvex/runtime/format_types.h"

NUVEX_EXTERN_C_BEGIN

enum {
  UNIT_COUNT = 103,
  UNIT_LAST_EXTERNAL = 99,
  UNIT_INTERNAL = 100,
  UNIT_STDIN = 101,
  UNIT_STDOUT = 102,
  UNIT_RECL_FORMATTED = 256
};

/* Smallest answer buffers of the inquiries (bytes, NUL included). */
enum {
  UNIT_ANSWER_ACCESS_SIZE = 11, /* "SEQUENTIAL" */
  UNIT_ANSWER_FORM_SIZE = 12,   /* "UNFORMATTED" */
  UNIT_ANSWER_KEYWORD_SIZE = 5, /* "ZERO", "NULL", "YES", "NO" */
  UNIT_ANSWER_NAME_SIZE = 120   /* a stored name: at most 119 characters */
};

enum { UNIT_STATUS_OLD = 0, UNIT_STATUS_NEW = 1, UNIT_STATUS_SCRATCH = 2, UNIT_STATUS_UNKNOWN = 3 };
enum { UNIT_ACCESS_SEQUENTIAL = 0, UNIT_ACCESS_DIRECT = 1, UNIT_ACCESS_APPEND = 2 };
enum { UNIT_ACTION_READWRITE = 0, UNIT_ACTION_READ = 1, UNIT_ACTION_WRITE = 2 };
enum { UNIT_STATE_EOF = 1u << 0 };
enum {
  UNIT_MODE_UNFORMATTED = 1u << 0,
  UNIT_MODE_BLANK_ZERO = 1u << 1,
  UNIT_MODE_INTERNAL = 1u << 2,
  UNIT_MODE_CARRIAGE = 1u << 3,
  UNIT_MODE_PAD = 1u << 4
};

/* One unit of the table. */
typedef struct unit_record {
  FILE* stream;         /* open file; null when not connected */
  char* name;           /* owned normalised file name */
  uint8_t status;       /* UNIT_STATUS_* */
  int16_t iostat;       /* error code of the current operation; 0 none, -1 end of file */
  uint32_t recl;        /* record length = size of the record buffer */
  uint32_t state;       /* UNIT_STATE_EOF */
  uint8_t access;       /* UNIT_ACCESS_* */
  uint8_t action;       /* UNIT_ACTION_* */
  uint32_t mode;        /* UNIT_MODE_* */
  format_state* format; /* owned format state of a formatted unit */
  char* record;         /* owned record buffer of recl + 1 bytes, NUL-terminated */
  char* cursor;         /* current column */
  char* record_end;     /* record + recl */
  uint32_t fresh;       /* 1: clear the buffer before the next output edit */
} unit_record;

/* The record of unit 0..102, or null for any other number. */
unit_record* f_unit(int unit);

/* Pre-opens units 5, 6 (and 101, 102) on standard input/output and sets up the internal unit
   100; call before the first I/O (calling it again reconnects the standard units). */
void f77ini(void);
/* Connects `unit` (0..99) to `file` (normalised: trimmed, lower case; null or empty: "scrN.dat",
   blanks only: "scrN,dat"). status: OLD, RO, NEW, WO, SCRATCH, UNKNOWN (default); form:
   FORMATTED/UNFORMATTED (default by access); access: SEQUENTIAL (default), APPEND, DIRECT with
   recl >= 1. A unit already connected to the same name is left as it is. Returns 1, or -1 with
   the unit's iostat set. open_unit retries a failing open (30 pauses of 500 ms, then asks the
   user; Cancel throws CCalcAbortException); open_unit_once tries once. */
int open_unit(int unit, const char* file, const char* status, const char* form, const char* access,
              int32_t recl);
int open_unit_once(int unit, const char* file, const char* status, const char* form,
                   const char* access, int32_t recl);
/* Sequential open with a position: REWIND/START, APPEND/END, anything else as is. Also knows
   the status keywords READ and WRITE. Nothing is logged; returns 1 or -1. */
int open_unit_pos(int unit, const char* file, const char* status, const char* form,
                  const char* position);
/* Sets up the unit's record (name copy, form, access, record buffer of recl + 1 bytes, format
   state allocated zeroed with calloc and released with free). Does nothing while iostat is
   non-zero. Unit 100 gets no record buffer and keeps its format state: both are the statement
   code's. */
void connect_unit(int unit, const char* name, const char* form, const char* access, int32_t recl);
/* Closes the unit's file (never the standard streams), removes a SCRATCH file, releases name,
   record buffer and format state of units 0..99. 1, or -1 with iostat 21/22. */
int _cls_unit(int unit);
/* _cls_unit for a connected unit 0..99; -1 otherwise. */
int close_unit(int unit);
/* Closes every connected unit 0..99 (the fatal path). */
void close_all_units(void);
/* 1 when connected. -1 is no unit (0); a number outside 0..99, 101, 102 is fatal. */
int unit_is_open(int unit);
/* Connects an unconnected unit for formatted output on "scrN.dat" (fatal on failure). */
void auto_open_unit(int unit);
/* Fatal "bad unit number used" unless 0 <= unit <= 99. */
void check_unit_number(int unit);

/* Keyword inquiries: the answer is filled from the record also for a closed unit (whose fields
   keep their last values). Buffers: access UNIT_ANSWER_ACCESS_SIZE, form UNIT_ANSWER_FORM_SIZE,
   the others UNIT_ANSWER_KEYWORD_SIZE, name UNIT_ANSWER_NAME_SIZE. A null answer is ignored. */
void inquire_access(int unit, char* answer);
void inquire_blank(int unit, char* answer);
void inquire_direct(int unit, char* answer);
void inquire_sequential(int unit, char* answer);
void inquire_form(int unit, char* answer);
void inquire_formatted(int unit, char* answer);
void inquire_unformatted(int unit, char* answer);
int inquire_opened(int unit);
/* The stored name, or "" when not connected. */
void inquire_name(int unit, char* answer);
int inquire_named(int unit);
/* Lowest connected unit 0..99 whose name equals the normalised `file`, or -1. */
int inquire_number(const char* file);

/* READ, WRITE, READWRITE; other keywords and units outside 0..99 are ignored. */
void set_unit_action(int unit, const char* keyword);
/* NULL or ZERO on a connected unit with iostat 0: 1; other keywords set iostat 9: -1. */
int set_unit_blank(int unit, const char* keyword);
/* FORTRAN sets carriage control, anything else clears it; fatal outside 0..99. */
void set_unit_carriage_control(int unit, const char* keyword);
/* YES sets PAD, anything else clears it; units outside 0..99 are ignored. */
void set_unit_pad(int unit, const char* keyword);

NUVEX_EXTERN_C_END
