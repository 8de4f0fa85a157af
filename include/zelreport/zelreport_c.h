/* SPDX-License-Identifier: MIT */
/* zelreport from C (C89 and later) and from other languages' foreign
 * function layers: the same reader as zelreport.h, with plain C types.
 *
 * A reader holds the callbacks; zelreport_run_fd and its siblings read one
 * whole document with them. At every reported record end the record
 * callback receives the record, then the output callback the report text.
 * The library never exits the process and never lets an exception out.
 * Callbacks run on the caller's thread, though a run may convert long runs
 * of values on a second thread of its own.
 * Link with -lzelreport, the C++ runtime and -pthread (pkg-config
 * zelreport-c). */
#ifndef ZELREPORT_C_H
#define ZELREPORT_C_H

#include <stddef.h>
#include <stdio.h>

#include "zelreport/fields.h"
#include "zelreport/version.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A record as it stands at its end, valid only during the callback.
 * A text field is its bytes and their count; the bytes are followed by a
 * zero byte but may hold zero bytes themselves. An absent text is NULL
 * with length 0. Integer fields are 32-bit two's complement (int). */
typedef struct zelreport_record {
#define ZELREPORT_C_TEXT(name, label) \
    const char *name;                 \
    size_t name##_length;
#define ZELREPORT_C_INT(name, label, rule) int name;
    ZELREPORT_FIELDS(ZELREPORT_C_TEXT, ZELREPORT_C_INT)
#undef ZELREPORT_C_TEXT
#undef ZELREPORT_C_INT
    /* The converted values, one entry per value read. has_floatdata is 1
     * when the data type filled the float array (which may then hold no
     * entry, with floatdata possibly NULL); likewise for intdata. */
    int has_floatdata;
    const float *floatdata;
    size_t floatdata_count;
    int has_intdata;
    const int *intdata;
    size_t intdata_count;
} zelreport_record;

typedef enum zelreport_status {
    ZELREPORT_OK = 0,               /* end of input, or the root element's closing tag */
    ZELREPORT_READ_ERROR = 1,       /* the input could not be read: see zelreport_error */
    ZELREPORT_WRITE_ERROR = 2,      /* the output callback returned 0 */
    ZELREPORT_OUT_OF_MEMORY = 3,    /* an allocation failed */
    ZELREPORT_INVALID_ARGUMENT = 4, /* a NULL reader, or NULL data with a size */
    ZELREPORT_FAILED = 5            /* the run stopped on an unexpected error */
} zelreport_status;

/* Called at every reported record end, before its report is output. */
typedef void (*zelreport_record_fn)(const zelreport_record *record, void *user_data);
/* Receives report text (and diagnostics) in order, whole reports only;
 * returns nonzero when written, 0 to stop the run with a write error. */
typedef int (*zelreport_output_fn)(const char *text, size_t length, void *user_data);

/* Opaque: callbacks and the errno of the last read error. */
typedef struct zelreport_reader zelreport_reader;

/* A reader with no callbacks (the report text is then dropped), or NULL
 * when memory runs out. Free it with zelreport_reader_free (NULL is fine). */
zelreport_reader *zelreport_reader_new(void);
void zelreport_reader_free(zelreport_reader *reader);

/* A NULL function removes the callback. */
void zelreport_set_record_callback(zelreport_reader *reader, zelreport_record_fn fn, void *user_data);
void zelreport_set_output_callback(zelreport_reader *reader, zelreport_output_fn fn, void *user_data);

/* Read one document from a file descriptor (waiting on a non-blocking
 * one), a stream or memory. */
zelreport_status zelreport_run_fd(zelreport_reader *reader, int fd);
zelreport_status zelreport_run_file(zelreport_reader *reader, FILE *file);
zelreport_status zelreport_run_buffer(zelreport_reader *reader, const char *data, size_t size);

/* The errno of the last run's read error, 0 when it had none. */
int zelreport_error(const zelreport_reader *reader);

/* "ok", "read error", "write error", "out of memory", "invalid argument"
 * and "failed", one for each status above; "unknown status" for any other
 * number. */
const char *zelreport_status_text(zelreport_status status);

/* The library's version, "MAJOR.MINOR.PATCH"; ZELREPORT_VERSION is the
 * header's. */
const char *zelreport_version(void);

#ifdef __cplusplus
}
#endif

#endif
