// SPDX-License-Identifier: MIT
// One record as its XML says it, with where each part stands in the
// document and what in its layout zelreport may misread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "xml/diagnose/rules.h"
#include "xml/read/element_names.h"
#include "xml/read/values_text.h"

namespace zelreport::xml {

// A place in the document: byte offset, and line and column from 1 (the
// column counts characters, as expat does).
struct Position {
    std::uint64_t offset = 0;
    std::uint64_t line = 0;
    std::uint64_t column = 0;
};

struct Problem {
    Cause cause = Cause::none;
    Position at;
};

// Where the XML gives a field, and the likeliest reason zelreport reads
// that element differently (none when its layout looks sound).
struct Source {
    bool given = false;
    std::uint64_t record = 0;  // the record that gave it
    Position at;
    Problem blame;
};

// Where an element's character data lies in the input, when it is those
// bytes exactly: no reference, section, comment, child or line end that
// the XML reading rewrote or left out.
struct RawText {
    std::uint64_t tag_end = 0;   // offset of the opening tag's ">"
    std::uint64_t text_end = 0;  // offset of the closing tag's "<"
    bool exact = false;
};

struct XmlRecord {
    std::uint64_t index = 0;  // from 1, in document order
    Position start;           // <zelrecord>
    Position end;             // </zelrecord>; its offset is that of its "<"
    // Text fields, kept up to the text limit; text_size is the whole size.
    std::optional<std::string> text[kFieldCount];
    std::uint64_t text_size[kFieldCount] = {};
    // Integer fields as written (nbits not negated); they carry over from
    // the record before when not given.
    std::int32_t number[kFieldCount] = {};
    Source source[kFieldCount];
    // The values element's character data, decoded, not yet split.
    bool has_values = false;
    ValuesText values;
    Source values_source;
    RawText values_raw;
    bool datyp_after_values = false;
    // Why zelreport may not see the record's end (none: no reason found).
    Problem end_blame;
    // Layout problems in document order, and the places where zelreport
    // reads an empty name and says so (zelcheck only).
    std::vector<Problem> problems;
    std::vector<Problem> empty_names;
};

}  // namespace zelreport::xml
