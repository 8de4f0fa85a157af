// SPDX-License-Identifier: MIT
// The diagnose stage: from the facts the XML reading noted (layout
// problems, content hazards, the encoding) and the differences the
// comparison found, which cause to blame and where to point. Every choice
// of a cause is made here.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "xml/read/record.h"

namespace zelreport::xml {

// What the reading knows of the document as a whole.
struct DocumentFacts {
    bool encoded = false;  // not in UTF-8
    bool wide = false;     // in UTF-16: zelreport finds none of its names
};

// An element of a record: where it starts, the layout problems noted
// inside it and before it in the record, and the hazard of its content
// (what zelreport makes of it wherever it stands).
struct ElementFacts {
    Position at;
    std::span<const Problem> before, inside;
    Cause hazard = Cause::none;
};

// What in an element's layout zelreport may misread: a content no layout
// carries, else a problem inside it, else its content's hazard, else the
// nearest problem before it that loses lines or cuts names, else the
// document's encoding.
Problem BlameElement(const ElementFacts& element, const DocumentFacts& document);

// Why zelreport may not see a record's end: lost lines first, then a
// closing not on three lines (`close_read` false), then markup read as
// names, then the encoding.
Problem BlameRecordEnd(std::span<const Problem> problems, bool close_read, const Position& end,
                       const DocumentFacts& document);

// Why zelreport has a field the record does not give: carried over from
// an unreported record, or read from markup or lost lines.
Problem BlameUngiven(const XmlRecord& record, bool previous_reported);

// Why zelreport reads the values differently; `kinds_differ`: it keeps
// another kind of array, or none.
Problem BlameValues(const XmlRecord& record, bool kinds_differ, bool previous_reported);

// Why zelreport never reported `record`: its end's blame, or a root
// closing name read before it (`stopped_at`).
Problem BlameUnreported(const XmlRecord& record, const std::optional<Position>& stopped_at);

// Why zelreport reports a record at `offset` that the XML does not have:
// the last problem before it in `record` when inside one, content after
// the root's end, or no cause found.
Cause BlameExtra(std::uint64_t offset, const XmlRecord* record, std::optional<std::uint64_t> root_end);

// Where a finding points: at the layout fault when there is one, else at
// the element.
inline Position Where(const Problem& blame, const Position& element) {
    return blame.cause != Cause::none ? blame.at : element;
}

}  // namespace zelreport::xml
