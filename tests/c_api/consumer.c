/* SPDX-License-Identifier: MIT */
/* Reads DOCUMENT through the C interface and prints what the callbacks
 * receive, then the outcome of runs that fail. Built as C90 with pedantic
 * errors, so the header stays plain C; the test compares the output with
 * consumer.out. */
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "zelreport/zelreport_c.h"

static void print_text(const char *name, const char *text, size_t length) {
    printf(" %s=%.*s", name, text ? (int)length : 4, text ? text : "NULL");
}

static void print_record(const zelreport_record *r, void *user_data) {
    size_t i;
    (void)user_data;
    printf("record");
#define PRINT_TEXT(name, label) print_text(#name, r->name, r->name##_length);
#define PRINT_INT(name, label, rule) printf(" %s=%d", #name, r->name);
    ZELREPORT_FIELDS(PRINT_TEXT, PRINT_INT)
    if (r->has_floatdata) printf(" floats:");
    for (i = 0; i < r->floatdata_count; i++) printf(" %g", r->floatdata[i]);
    if (r->has_intdata) printf(" ints:");
    for (i = 0; i < r->intdata_count; i++) printf(" %d", r->intdata[i]);
    printf("\n");
}

/* Writes the text to standard output, or refuses it when `refuse` is set. */
static int write_out(const char *text, size_t length, void *refuse) {
    return !refuse && fwrite(text, 1, length, stdout) == length;
}

int main(int argc, char **argv) {
    static const char bare[] = "<zelrecord>\n</zelrecord>\n";
    zelreport_reader *reader = zelreport_reader_new();
    FILE *file;
    int fd;
    if (argc != 2 || !reader || (fd = open(argv[1], O_RDONLY)) < 0 || !(file = fopen(argv[1], "rb")))
        return 2;
    zelreport_set_record_callback(reader, print_record, NULL);
    zelreport_set_output_callback(reader, write_out, NULL);
    printf("status: %s\n", zelreport_status_text(zelreport_run_fd(reader, fd)));
    close(fd);

    zelreport_set_record_callback(reader, NULL, NULL);
    zelreport_set_output_callback(reader, write_out, reader);
    printf("refused output: %s\n", zelreport_status_text(zelreport_run_file(reader, file)));
    fclose(file);
    printf("bad descriptor: %s", zelreport_status_text(zelreport_run_fd(reader, -1)));
    printf(", EBADF %s\n", zelreport_error(reader) == EBADF ? "yes" : "no");

    /* Absent texts are NULL; with no output callback the report is dropped. */
    zelreport_set_record_callback(reader, print_record, NULL);
    zelreport_set_output_callback(reader, NULL, NULL);
    printf("bare record: %s\n", zelreport_status_text(zelreport_run_buffer(reader, bare, sizeof bare - 1)));
    printf("no reader: %s, no data: %s\n", zelreport_status_text(zelreport_run_fd(NULL, 0)),
           zelreport_status_text(zelreport_run_buffer(reader, NULL, 1)));
    printf("version: %s\n", strcmp(zelreport_version(), ZELREPORT_VERSION) ? "differs" : "as in the header");
    zelreport_reader_free(reader);
    return 0;
}
