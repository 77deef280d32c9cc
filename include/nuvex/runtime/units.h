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
  FILE* stream;          /* open file; null when not connected */
  char* name;            /* owned normalised file name */
  uint8_t status;        /* UNIT_STATUS_* */
  int16_t iostat;        /* error code of the current operation; 0 none, -1 end of file */
  uint32_t recl;         /* record length = size of the record buffer */
  uint32_t state;        /* UNIT_STATE_EOF */
  uint8_t access;        /* UNIT_ACCESS_* */
  uint8_t action;        /* UNIT_ACTION_* */
  uint32_t mode;         /* UNIT_MODE_* */
  format_state* format;  /* owned format state of a formatted unit */
  char* record;          /* owned record buffer of recl + 1 bytes, NUL-terminated */
  char* cursor;          /* current column */
  char* record_end;      /* record + recl */
  uint32_t fresh;        /* 1: clear the buffer before the next output edit */
} unit_record;

/* The record of unit 0..102, or null for any other number. */
unit_record* f_unit(int unit);

void f77ini(void);
int open_unit(int unit, const char* file, const char* status, const char* form,
              const char* access, int32_t recl);
int open_unit_once(int unit, const char* file, const char* status, const char* form,
                   const char* access, int32_t recl);
int open_unit_pos(int unit, const char* file, const char* status, const char* form,
                  const char* position);
void connect_unit(int unit, const char* name, const char* form, const char* access,
                  int32_t recl);
int _cls_unit(int unit);
int close_unit(int unit);
void close_all_units(void);
int unit_is_open(int unit);
void auto_open_unit(int unit);
void check_unit_number(int unit);

void inquire_access(int unit, char* answer);
void inquire_blank(int unit, char* answer);
void inquire_direct(int unit, char* answer);
void inquire_sequential(int unit, char* answer);
void inquire_form(int unit, char* answer);
void inquire_formatted(int unit, char* answer);
void inquire_unformatted(int unit, char* answer);
int inquire_opened(int unit);
void inquire_name(int unit, char* answer);
int inquire_named(int unit);
int inquire_number(const char* file);

void set_unit_action(int unit, const char* keyword);
int set_unit_blank(int unit, const char* keyword);
void set_unit_carriage_control(int unit, const char* keyword);
void set_unit_pad(int unit, const char* keyword);

NUVEX_EXTERN_C_END
