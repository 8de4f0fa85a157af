// SPDX-License-Identifier: MIT
#include "xml/cause.h"

#include <array>

namespace zelreport::xml {

namespace {

constexpr std::string_view kRunZelfmt = "run zelfmt";

constexpr std::array<CauseText, static_cast<std::size_t>(Cause::generic) + 1> kCauses = {{
    {"", ""},
    {"a line indented with spaces (zelreport skips it after a closing tag)",
     "indent with tabs or not at all, or run zelfmt"},
    {"several elements on a line (zelreport drops the rest of a line after a closing tag)",
     "put one element on each line, or run zelfmt"},
    {"an integer with a sign, blank or line break before its digits (zelreport reads 0)",
     "write the digits right after '>', a negative number as its 32-bit two's complement "
     "(-1 as 4294967295), or run zelfmt"},
    {"a values line that does not begin with a blank (zelreport ends the values there, "
     "or joins a line beginning with '-' to the number before)",
     "begin each continuation line with a blank, or run zelfmt"},
    {"</values>, </zeldata> and </zelrecord> not on three consecutive lines (zelreport does not "
     "see the record's end; its texts and values carry over into the next record)",
     "close the record with </values>, </zeldata> and </zelrecord> on three lines, or run zelfmt"},
    {"datyp after the values (zelreport converts them with the data type in force before)",
     "give datyp before the values, or run zelfmt"},
    {"a text that is empty or exactly four spaces (zelreport stores no such text)",
     "give a text of another length, or leave the element out"},
    {"'>' in a content (zelreport ends a text there, stores a nomvar holding it as '>>', "
     "and drops it from the values)",
     "remove the '>'"},
    {"a line break, entity, character reference or CDATA section in a content (zelreport reads "
     "the bytes as written and ends a text at a line break)",
     "write the characters themselves on one line, or run zelfmt"},
    {"CRLF line ends (a values text that begins on the line after its tag starts with a carriage "
     "return, read as a value of its own)",
     "end lines with LF alone, or run zelfmt"},
    {"an attribute, comment, processing instruction or blank where zelreport reads an element name",
     "remove it from the records, or run zelfmt"},
    {"an element name over 200 bytes (zelreport reads it in pieces)", "shorten it, or run zelfmt"},
    {"a text over 8,192,000 bytes (zelreport cuts it)", "shorten the text"},
    {"content after </orv-standard-file> (zelreport reads on when that tag begins a line after "
     "another closing tag)",
     "remove what follows </orv-standard-file>, or run zelfmt"},
    {"'/orv-standard-file' read earlier as an element name (zelreport stops there)",
     "remove that text, or run zelfmt"},
    {"the record before it was not reported, so its texts and values carried over", "fix the record before"},
    {"an encoding other than UTF-8 (zelreport reads the bytes as they are)",
     "write the document in UTF-8, or run zelfmt"},
    {"a layout zelreport reads differently", kRunZelfmt},
}};

}  // namespace

const CauseText& Describe(Cause cause) {
    return kCauses[static_cast<std::size_t>(cause)];
}

}  // namespace zelreport::xml
