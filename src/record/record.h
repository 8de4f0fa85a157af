// SPDX-License-Identifier: MIT
// The record being read: filled by the element readers, reported and
// released at the record's closing tag.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>

#include "record/data_array.h"
#include "record/running_stats.h"
#include "zelreport/zelreport.h"

namespace zelreport {

// Where the values text that last filled an array lies in the input, for a
// program that compares this reading of a document with another: the same
// bytes read plainly hold the same tokens, so they convert to the same
// numbers. `plain`: between the ">" of the opening tag and the "<" that
// ended the text there were only token bytes, blanks, tabs and line feeds
// the reader took as separators, so the tokens are those that XML white
// space splits the bytes into.
struct ValuesOrigin {
    std::uint64_t tag_end = 0;   // offset of the ">"
    std::uint64_t text_end = 0;  // offset of the "<"
    DataKind kind = DataKind::none;
    bool plain = false;
};

// Where a values text lies in the input, so that its values can be
// converted later, exactly as the run would have: from `start`, the byte
// the values reader began on (the opening tag's ">"), to `stop`, the byte
// it stopped on (the size of the input when it reached the end), holding
// `count` tokens, one entry each.
struct ValuesPlace {
    std::uint64_t start = 0;
    std::uint64_t stop = 0;
    std::uint64_t count = 0;
};

// The places of the texts that filled a record's two arrays, each valid
// where the record has that array.
struct ValuesPlaces {
    ValuesPlace floats;
    ValuesPlace ints;
};

struct Record {
    // Text fields are absent until an element gives them; integer fields
    // live for the whole run and are never reset.
#define ZELREPORT_RECORD_TEXT(name, label) std::optional<std::string> name;
#define ZELREPORT_RECORD_INT(name, label, rule) std::int32_t name = 0;
    ZELREPORT_FIELDS(ZELREPORT_RECORD_TEXT, ZELREPORT_RECORD_INT)
#undef ZELREPORT_RECORD_TEXT
#undef ZELREPORT_RECORD_INT

    // The values text itself is never reported, so only the converted
    // numbers are kept: one entry per token.
    bool has_floatdata = false;
    DataArray<float> floatdata;
    RunningStats float_stats;  // of floatdata
    bool has_intdata = false;
    DataArray<std::int32_t> intdata;
    ValuesOrigin values_origin;  // of the array last filled
    ValuesPlaces places;         // set only by a run that scans for them

    // Releases the per-record storage: texts, values and both arrays.
    void ReleaseData();
};

RecordView MakeView(const Record& record);

// Takes each reported record with the origin of its values, for a program
// that compares this reading with another.
using RecordObserver = std::function<void(const RecordView&, const ValuesOrigin&)>;

// Takes each reported record of a run that scans for the places of its
// values instead of converting them: the view's arrays are empty, and
// has_floatdata and has_intdata say which places are valid.
using ScanObserver = std::function<void(const RecordView&, const ValuesPlaces&)>;

}  // namespace zelreport
