// SPDX-License-Identifier: MIT
// A document read for where its values lie, and its values converted
// later from there: for a program that opens a large document at once and
// reads each record's values only when asked for them (the Python
// package's lazy arrays). The values converted later are those the
// document's run gives, bit for bit.
#pragma once

#include <memory>

#include "record/record.h"
#include "zelreport/zelreport.h"

namespace zelreport {

// run_reader and run_buffer without converting any value or writing any
// report: each reported record goes to `observer` with the places of the
// texts its arrays would hold. Only diagnostics reach the output.
Result run_reader_scanned(ReadBlock read_block, const Handlers& handlers, const ScanObserver& observer);
Result run_buffer_scanned(std::string_view document, const Handlers& handlers, const ScanObserver& observer);

struct Context;

// Converts values texts again, one after another, each into the array of
// `kind` (floats or ints): `read_block` gives the document's bytes from a
// place's `start` up to its `stop`, then the end. The array holds the
// place's `count` entries, equal to what the document's run converted from
// that text. One converter keeps its reader's memory (and second thread)
// from text to text; use it on one thread at a time.
class ValuesConverter {
public:
    ValuesConverter();
    ~ValuesConverter();
    ValuesConverter(const ValuesConverter&) = delete;
    ValuesConverter& operator=(const ValuesConverter&) = delete;

    Result Convert(ReadBlock read_block, DataKind kind, RecordValues& values);

private:
    Handlers none_;
    std::unique_ptr<Context> ctx_;
};

// One text with a converter of its own.
Result convert_values(ReadBlock read_block, DataKind kind, RecordValues& values);

}  // namespace zelreport
