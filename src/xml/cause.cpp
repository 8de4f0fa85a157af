// SPDX-License-Identifier: MIT
#include "xml/cause.h"

#include <array>

#include "xml/limits.h"

namespace zelreport::xml {

namespace {

static_assert(kNameLimit == 200 && kTextLimit == 8192000, "the causes name these limits");

constexpr std::array<CauseText, static_cast<std::size_t>(Cause::generic) + 1> kCauses = {{
    {"", ""},
    {"a line indented with spaces after a closing tag (zelreport skips it)",
     "indent with tabs or not at all, or run zelfmt"},
    {"several elements on one line (zelreport drops the rest of a line after a closing tag)",
     "put each element on a line of its own, or run zelfmt"},
    {"a sign, blank or line break before the digits of an integer (zelreport reads 0)",
     "write the digits right after '>', a negative number as its 32-bit two's complement "
     "(-1 as 4294967295), or run zelfmt"},
    {"a values line that does not begin with a blank (zelreport ends the values there, or joins "
     "a line beginning with '-' to the number before)",
     "begin each continuation line with a blank, or run zelfmt"},
    {"</values>, </zeldata> and </zelrecord> not on three consecutive lines (zelreport misses the "
     "record's end)",
     "close the record with them on three lines, or run zelfmt"},
    {"datyp after the values (zelreport converts them with the data type in force before)",
     "give datyp before the values, or run zelfmt"},
    {"a text that is empty or exactly four spaces (zelreport stores no such text)",
     "give another text or leave the element out"},
    {"'>' in a text (zelreport ends a text there, turns a nomvar holding it into '>>', and drops "
     "it from values)",
     "remove the '>'"},
    {"a line break, entity, character reference or CDATA section in a content (zelreport reads "
     "the bytes as written)",
     "write the characters themselves on one line, or run zelfmt"},
    {"a CRLF line end right after <values> (zelreport reads the carriage return as a value)",
     "end lines with LF alone, or run zelfmt"},
    {"an attribute, comment, processing instruction or blank where zelreport reads an element name",
     "remove it, or run zelfmt"},
    {"an element name over 200 bytes (zelreport reads it in pieces)", "shorten it, or run zelfmt"},
    {"a text over 8,192,000 bytes (zelreport cuts it)", "shorten the text"},
    {"content after </orv-standard-file> (zelreport reads on after that tag when it begins a line "
     "after another closing tag)",
     "remove it, or run zelfmt"},
    {"'/orv-standard-file' read earlier as an element name, where zelreport stops",
     "remove it, or run zelfmt"},
    {"the record before was not reported, so its texts and values carried over", "fix the record before"},
    {"an encoding other than UTF-8 (zelreport reads the bytes as they are)",
     "write the document in UTF-8, or run zelfmt"},
    {"a layout that zelreport reads differently", "run zelfmt"},
}};

}  // namespace

const CauseText& Describe(Cause cause) {
    return kCauses[static_cast<std::size_t>(cause)];
}

}  // namespace zelreport::xml
