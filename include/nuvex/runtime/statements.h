/* I/O statement control: setting up formatted READ and WRITE statements on external and internal
   units, record input, record advance and record output. */
#pragma once

#include "nuvex/runtime/common.h"
#include "nuvex/runtime/units.h"

NUVEX_EXTERN_C_BEGIN

/* Statement set-ups. Each check failure sets the unit's iostat (31 not connected, 34 not
   sequential, 35 not direct, 36 unformatted, 42 list-directed direct read, 43 bad record) with a
   "VOKS WARNING" line; the statement then transfers no data. */
void begin_read_direct(int unit, uint32_t record_number, const char* format);
void begin_read_seq(int unit, const char* format);
void begin_write_direct(int unit, uint32_t record_number, const char* format);
void begin_write_seq(int unit, const char* format);

/* Internal files on unit 100: the records are base[first..last], then each following record one
   NUL byte further on. The caller must not let the statement advance past its storage. */
void begin_read_internal(char* base, uint32_t first, uint32_t last, const char* format);
void begin_write_internal(char* base, uint32_t first, uint32_t last, const char* format);
/* The same on an internal file of `records` records: the storage holds records * (last - first
   + 2) bytes from base + first, each record followed by its NUL byte. A statement that needs a
   record after the last one ends instead: end of file (iostat -1) on input, iostat 53 with a
   "VOKS WARNING" line on output; nothing outside the storage is read or written. */
void begin_read_internal_bounded(char* base, uint32_t first, uint32_t last, uint32_t records,
                                 const char* format);
void begin_write_internal_bounded(char* base, uint32_t first, uint32_t last, uint32_t records,
                                  const char* format);
void attach_internal(char* storage, uint32_t length);

/* Seeks a direct unit to its record (64-bit offset) and starts the format; returns iostat. */
int position_direct(int unit, uint32_t record_number, const char* format);

/* Next input record of a sequential unit (external: one line of at most recl - 1 characters). */
void read_seq_record(unit_record* unit);
/* The record at the file position of a direct unit; a short record sets iostat 61. */
void read_direct_record(unit_record* unit);
/* Record advance for "/" and format reversion. */
void next_record(unit_record* unit, int writing);
/* recl blanks, cursor to the first column, NUL at record_end, fresh cleared. */
void clear_record(unit_record* unit);
/* Writes the unit's output record to its file; 1, or -1 with iostat 51 on a write error. */
int put_record(unit_record* unit);

/* n characters as NUL-terminated text with NUL bytes turned into blanks; valid for the next 255
   calls. A null pointer gives an empty text. */
char* ntstr(const char* characters, int32_t n);

NUVEX_EXTERN_C_END
