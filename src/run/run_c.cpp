// SPDX-License-Identifier: MIT
// The C interface: a reader handle around the C++ handlers, and the record
// view copied into plain C types for each callback.
#include <cerrno>
#include <cstdint>
#include <new>
#include <type_traits>

#include "zelreport/zelreport.h"
#include "zelreport/zelreport_c.h"

// The C record hands the integer array out as `const int*`.
static_assert(std::is_same_v<std::int32_t, int>, "the C interface needs a 32-bit int");

struct zelreport_reader {
    zelreport_record_fn on_record = nullptr;
    void* record_data = nullptr;
    zelreport_output_fn output = nullptr;
    void* output_data = nullptr;
    int error = 0;
};

namespace {

zelreport_record ToC(const zelreport::RecordView& view) {
    zelreport_record record{};
#define ZELREPORT_TO_C_TEXT(name, label)          \
    if (view.name) {                              \
        record.name = view.name->c_str();         \
        record.name##_length = view.name->size(); \
    }
#define ZELREPORT_TO_C_INT(name, label, rule) record.name = view.name;
    ZELREPORT_FIELDS(ZELREPORT_TO_C_TEXT, ZELREPORT_TO_C_INT)
#undef ZELREPORT_TO_C_TEXT
#undef ZELREPORT_TO_C_INT
    record.has_floatdata = view.has_floatdata;
    record.floatdata = view.floatdata.data();
    record.floatdata_count = view.floatdata.size();
    record.has_intdata = view.has_intdata;
    record.intdata = view.intdata.data();
    record.intdata_count = view.intdata.size();
    return record;
}

zelreport_status ToC(zelreport::Status status) {
    switch (status) {
        case zelreport::Status::ok:
            return ZELREPORT_OK;
        case zelreport::Status::read_error:
            return ZELREPORT_READ_ERROR;
        case zelreport::Status::write_error:
            return ZELREPORT_WRITE_ERROR;
        case zelreport::Status::out_of_memory:
            return ZELREPORT_OUT_OF_MEMORY;
        case zelreport::Status::exception:
            return ZELREPORT_FAILED;
    }
    return ZELREPORT_OUT_OF_MEMORY;
}

// Runs `run` with the reader's callbacks. No exception may cross into C:
// the library reports its own failures in the result, and the only ones
// left here are allocations made while setting up the handlers.
template <typename Run>
zelreport_status RunWith(zelreport_reader* reader, Run run) {
    if (!reader) return ZELREPORT_INVALID_ARGUMENT;
    reader->error = 0;
    try {
        zelreport::Handlers handlers;
        if (reader->on_record)
            handlers.on_record = [reader](const zelreport::RecordView& view) {
                zelreport_record record = ToC(view);
                reader->on_record(&record, reader->record_data);
            };
        if (reader->output)
            handlers.output = [reader](std::string_view text) {
                return reader->output(text.data(), text.size(), reader->output_data) != 0;
            };
        zelreport::Result result = run(handlers);
        if (result.status == zelreport::Status::read_error) reader->error = result.error;
        return ToC(result.status);
    } catch (...) {
        return ZELREPORT_OUT_OF_MEMORY;
    }
}

}  // namespace

extern "C" {

zelreport_reader* zelreport_reader_new(void) {
    return new (std::nothrow) zelreport_reader;
}

void zelreport_reader_free(zelreport_reader* reader) {
    delete reader;
}

void zelreport_set_record_callback(zelreport_reader* reader, zelreport_record_fn fn, void* user_data) {
    if (!reader) return;
    reader->on_record = fn;
    reader->record_data = user_data;
}

void zelreport_set_output_callback(zelreport_reader* reader, zelreport_output_fn fn, void* user_data) {
    if (!reader) return;
    reader->output = fn;
    reader->output_data = user_data;
}

zelreport_status zelreport_run_fd(zelreport_reader* reader, int fd) {
    return RunWith(reader, [fd](const zelreport::Handlers& h) { return zelreport::run_fd(fd, h); });
}

zelreport_status zelreport_run_file(zelreport_reader* reader, FILE* file) {
    if (!file) return ZELREPORT_INVALID_ARGUMENT;
    return RunWith(reader, [file](const zelreport::Handlers& h) { return zelreport::run_file(file, h); });
}

zelreport_status zelreport_run_buffer(zelreport_reader* reader, const char* data, size_t size) {
    if (!data && size > 0) return ZELREPORT_INVALID_ARGUMENT;
    return RunWith(reader, [data, size](const zelreport::Handlers& h) {
        return zelreport::run_buffer(std::string_view(data ? data : "", size), h);
    });
}

int zelreport_error(const zelreport_reader* reader) {
    return reader ? reader->error : 0;
}

const char* zelreport_status_text(zelreport_status status) {
    switch (status) {
        case ZELREPORT_OK:
            return "ok";
        case ZELREPORT_READ_ERROR:
            return "read error";
        case ZELREPORT_WRITE_ERROR:
            return "write error";
        case ZELREPORT_OUT_OF_MEMORY:
            return "out of memory";
        case ZELREPORT_INVALID_ARGUMENT:
            return "invalid argument";
        case ZELREPORT_FAILED:
            return "failed";
    }
    return "unknown status";
}

const char* zelreport_version(void) {
    return ZELREPORT_VERSION;
}

}  // extern "C"
