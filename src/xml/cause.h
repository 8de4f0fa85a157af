// SPDX-License-Identifier: MIT
// Why zelreport may read a document differently from its XML meaning: the
// layout causes zelcheck names, each with its fix.
#pragma once

#include <cstdint>
#include <string_view>

namespace zelreport::xml {

enum class Cause : std::uint8_t {
    none,
    space_indent,        // a line indented with spaces after a closing tag
    several_on_line,     // an element after a closing tag on the same line
    integer_layout,      // a sign, blank or line break before an integer's digits
    values_line,         // a values line that does not begin with a blank
    wrapper,             // </values>, </zeldata>, </zelrecord> not on three lines
    datyp_after_values,  // the values converted with an earlier data type
    empty_text,          // a text that is empty or exactly four spaces
    gt_in_text,          // ">" in a text or values
    escaped_content,     // a line break, entity, character reference or CDATA
    crlf,                // a carriage return that starts a values text
    markup_in_name,      // an attribute, comment or blank where a name is read
    long_name,           // an element name over zelreport's name limit
    long_text,           // a text over zelreport's text limit
    after_root,          // content after the root's closing tag
    stopped_early,       // zelreport stopped at a root closing tag read earlier
    carried_over,        // texts or values of an unreported record before
    encoding,            // a document not in UTF-8
    generic,             // anything else
};

struct CauseText {
    std::string_view what;
    std::string_view fix;
};

const CauseText& Describe(Cause cause);

// Causes that make zelreport lose whole lines: they explain whatever
// follows them in a record.
constexpr bool LosesLines(Cause cause) {
    return cause == Cause::space_indent || cause == Cause::several_on_line;
}

// Causes where zelreport reads markup as an element name.
constexpr bool MisreadsNames(Cause cause) {
    return cause == Cause::markup_in_name || cause == Cause::long_name;
}

}  // namespace zelreport::xml
