// SPDX-License-Identifier: MIT
// One record as its XML says it, with where each part stands in the
// document and the facts of its layout that zelreport may misread. Facts
// only: which of them explains a difference is the diagnosis' choice.
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

// A layout problem noted where it stands: what zelreport does there.
struct Problem {
    Cause cause = Cause::none;
    Position at;
};

// Where the XML gives a field or the values, and the facts of its layout:
// the hazard of its content (what zelreport makes of it wherever it
// stands), the first problem inside the element, and the nearest problem
// before it in its record that loses lines or cuts a name.
struct Source {
    bool given = false;
    std::uint64_t record = 0;  // the record that gave it
    Position at;
    Cause hazard = Cause::none;
    Problem inside;
    Problem before;
};

// Where an element's character data lies in the input, when it is those
// bytes exactly: no reference, section, comment, child or line end that
// the XML reading rewrote or left out.
struct RawText {
    std::uint64_t tag_end = 0;   // offset of the opening tag's ">"
    std::uint64_t text_end = 0;  // offset of the closing tag's "<"
    bool exact = false;
};

// An element whose content the meaning does not take as written: unknown
// (its own text is left out), misplaced (left out), an empty text (not
// stored), an integer field that holds no integer. `slot`: the field it
// names, kValuesSlot for values, kNoSlot for anything else.
inline constexpr std::uint8_t kValuesSlot = kFieldCount;
inline constexpr std::uint8_t kNoSlot = kFieldCount + 1;
struct Unused {
    Cause cause = Cause::none;
    Position at;
    std::string name;  // as written, cut for messages
    std::uint8_t slot = kNoSlot;
    bool outside = false;  // between records, not inside this one
    std::string content;   // not-an-integer: the content, cut for messages
};

// What the reading knows of the document as a whole.
struct DocumentFacts {
    bool encoded = false;  // not in UTF-8
    bool wide = false;     // in UTF-16: zelreport finds none of its names
};

struct XmlRecord {
    std::uint64_t index = 0;  // from 1, in document order
    Position start;           // <zelrecord>
    Position end;             // </zelrecord>; its offset is that of its "<"
    // Text fields, kept up to the text limit; text_size is the whole size.
    std::optional<std::string> text[kFieldCount];
    std::uint64_t text_size[kFieldCount] = {};
    // Integer fields as written (nbits not negated); they carry over from
    // the record before when not given. One that holds no integer means
    // what zelreport reads from it written plainly.
    std::int32_t number[kFieldCount] = {};
    Source source[kFieldCount];
    // The values element's character data, decoded, not yet split.
    bool has_values = false;
    ValuesText values;
    Source values_source;
    RawText values_raw;
    bool datyp_after_values = false;
    // Whether the closing tags stand so that zelreport sees the record's
    // end (zelcheck only).
    bool close_read = true;
    // The first markup in the record that zelreport reads as its end, as a
    // comment holding "</zelrecord>": what follows goes to another report.
    Problem early_end;
    DocumentFacts document;
    // Layout problems in document order, the places where zelreport reads
    // an empty name and says so (zelcheck only), and the elements the
    // meaning does not take, from the end of the record before on.
    std::vector<Problem> problems;
    std::vector<Problem> empty_names;
    std::vector<Unused> unused;
};

}  // namespace zelreport::xml
