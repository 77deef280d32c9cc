/* Binary records: packing items into byte buffers and back, block transfers at file offsets,
   and reading sequential unformatted files record by record.

   Conversion strings of sprtunf and sscanunf: blanks and tabs are ignored, any other character
   outside a conversion is a literal byte. A conversion is '%', an optional size letter 'l', 'h'
   or 'L', and a letter:
     c        int (1 byte: its low byte)
     d, i     int (4 bytes; 2 with h)
     f        double (4 bytes as a float; 8 with l; L is refused, see below)
     z        pointer to a complex value (8 bytes, two floats; 16 with l, two doubles)
     s        pointer to a NUL-terminated string (its characters and the NUL)
     A, &     size_t count, then a pointer (count raw bytes)
     other    no argument; the letter itself is a literal byte
   sscanunf takes a pointer to each item's storage instead of its value (for A and &, the count
   and then the pointer). Items are stored in the machine's own representation (little-endian
   integers, IEEE reals) without alignment or separators.

   Long doubles are not supported: "%Lf" writes "<routine>() compiled withOUT long double
   support" to standard output and reports the failure to the host (reportFailure). If the host
   returns, that item's argument is passed over and work goes on with the next character. */
#pragma once

#include <stddef.h>

#include "nuvex/runtime/common.h"

NUVEX_EXTERN_C_BEGIN

/* Packs the items of `conv` into `buf`; returns the number of bytes written (0 for a null
   buffer or an empty conversion string). The buffer must be large enough. */
int64_t sprtunf(char* buf, const char* conv, ...);

/* Unpacks `buf` into the items of `conv`; returns the bytes consumed. A literal that does not
   match the next byte ends the unpacking; that byte counts as consumed. A null buffer or a
   conversion string of blanks only gives 0. The buffer carries no length: it must hold every
   item the conversion string names ("%s" up to a NUL). */
int64_t sscanunf(const char* buf, const char* conv, ...);

/* Writes n bytes of buf at byte `offset` from the start of the file (at the current position
   when offset is negative). Returns 0 and clears buf to zero bytes on success, -1 when the file
   cannot be positioned (or is null), -2 when fewer than n bytes were written (buf unchanged). */
int f_putblock(FILE* file, int offset, size_t n, char* buf);
/* Bytes moved by the last f_putblock (0 after a failed positioning). */
int f_putcount(void);

/* Reads up to n bytes at byte `offset` (current position when negative) into buf, which is
   cleared to zero bytes first. Returns 0, -1 when the file cannot be positioned (or is null),
   -2 when fewer than n bytes were read (the rest of buf stays zero). */
int f_getblock(FILE* file, int offset, size_t n, char* buf);
/* Bytes moved by the last f_getblock (0 after a failed positioning). */
int f_getcount(void);

/* Sequential unformatted files: each record is a 32-bit little-endian length L, L data bytes
   and the length again.

   fscanunf reads the next record of `stream` into the runtime's record buffer and distributes
   its bytes over the items of `control` (conversions as above, with pointers, plus "%+": no
   argument, no bytes, counted as an item; a literal or unknown letter must equal the next data
   byte, which is then taken). A control string that begins with "%+" continues in the record
   of the previous call instead of reading a new one; it must name the same stream.
   Returns the number of items stored: the walk stops early when the record has too few bytes
   left for an item or a literal does not match. A record that cannot be read (end of file,
   truncated record) gives 0; a null stream, or a continuation on another stream than the
   previous call ("ERROR: fscanunf() read continuation without prior read" on standard error),
   gives -2. A record too large to allocate is a memory error that aborts the calculation.
   fscanunf and fskipunf read the stream without stdio's stream lock, as the runtime serves one
   thread at a time: no other thread may use the stream during the call. */
int fscanunf(FILE* stream, const char* control, ...);

/* Skips one record: reads its length and seeks past data and trailing length. 0, or -1 when
   the length cannot be read, the seek fails, or the record runs past the end of a file whose
   size can be known (the stream is then left at its end). Offsets are 64-bit. */
int fskipunf(FILE* stream);

/* The length of the last record read by fscanunf or skipped by fskipunf. */
int32_t lenunf(void);

NUVEX_EXTERN_C_END
