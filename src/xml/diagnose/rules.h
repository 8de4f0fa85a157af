// SPDX-License-Identifier: MIT
// Why zelreport may read a document differently from its XML meaning: the
// causes zelcheck names and zelfmt refuses, each worded once, here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelreport::xml {

// Whether zelfmt writes a document with this cause so that zelreport
// reads it as the XML means; its fix then ends in ", or run zelfmt".
enum class Mend : std::uint8_t { no, zelfmt };

// X(id, what zelreport does, the fix, Mend): one row a cause.
#define ZELXML_CAUSES(X)                                                                                 \
    X(none, "", "", Mend::no)                                                                            \
    X(space_indent, "a line indented with spaces after a closing tag (zelreport skips it)",              \
      "indent with tabs or not at all", Mend::zelfmt)                                                    \
    X(several_on_line,                                                                                   \
      "several elements on one line (zelreport drops the rest of a line after a closing "                \
      "tag)",                                                                                            \
      "put each element on a line of its own", Mend::zelfmt)                                             \
    X(integer_layout, "a sign, blank or line break before the digits of an integer (zelreport reads 0)", \
      "write the digits right after '>', a negative number as its 32-bit two's complement (-1 as "       \
      "4294967295)",                                                                                     \
      Mend::zelfmt)                                                                                      \
    X(values_line,                                                                                       \
      "a values line that does not begin with a blank (zelreport ends the values there, or "             \
      "joins a line beginning with '-' to the number before)",                                           \
      "begin each continuation line with a blank", Mend::zelfmt)                                         \
    X(wrapper,                                                                                           \
      "</values>, </zeldata> and </zelrecord> not on three consecutive lines (zelreport misses "         \
      "the record's end)",                                                                               \
      "close the record with them on three lines", Mend::zelfmt)                                         \
    X(datyp_after_values,                                                                                \
      "datyp after the values (zelreport converts them with the data type in force "                     \
      "before)",                                                                                         \
      "give datyp before the values", Mend::zelfmt)                                                      \
    X(empty_text,                                                                                        \
      "a text that is empty or exactly four spaces (zelreport stores no such text and reports "          \
      "(null))",                                                                                         \
      "leave the element out", Mend::zelfmt)                                                             \
    X(gt_in_text,                                                                                        \
      "'>' in a text (zelreport ends a text there, turns a nomvar holding it into '>>', and "            \
      "drops it from values)",                                                                           \
      "remove the '>'", Mend::no)                                                                        \
    X(reference_in_text,                                                                                 \
      "'&', '<' or a carriage return in a text (XML writes them as entities or "                         \
      "character references, which zelreport reads as written; no layout carries them in a text that "   \
      "zelreport reads as the XML means)",                                                               \
      "change the text", Mend::no)                                                                       \
    X(line_break_in_text,                                                                                \
      "a line break inside a text (zelreport ends the text there, or joins the next "                    \
      "line when it begins with a blank)",                                                               \
      "write the text on one line", Mend::no)                                                            \
    X(escaped_content,                                                                                   \
      "an entity, character reference or CDATA section (zelreport reads the bytes as "                   \
      "written)",                                                                                        \
      "write the characters themselves", Mend::zelfmt)                                                   \
    X(crlf, "a CRLF line end right after <values> (zelreport reads the carriage return as a value)",     \
      "end lines with LF alone", Mend::zelfmt)                                                           \
    X(markup_in_name,                                                                                    \
      "an attribute, comment, processing instruction or blank where zelreport reads an "                 \
      "element name",                                                                                    \
      "remove it", Mend::zelfmt)                                                                         \
    X(long_name, "an element name over 200 bytes (zelreport reads it in pieces)", "shorten it",          \
      Mend::zelfmt)                                                                                      \
    X(long_text, "a text over 8,192,000 bytes (zelreport cuts it)", "shorten the text", Mend::no)        \
    X(after_root,                                                                                        \
      "content after </orv-standard-file> (zelreport reads on after that tag when it begins a "          \
      "line after another closing tag)",                                                                 \
      "remove it", Mend::zelfmt)                                                                         \
    X(stopped_early, "'/orv-standard-file' read earlier as an element name, where zelreport stops",      \
      "remove it", Mend::zelfmt)                                                                         \
    X(carried_over, "the record before was not reported, so its texts and values carried over",          \
      "fix the record before", Mend::no)                                                                 \
    X(encoding, "an encoding other than UTF-8 (zelreport reads the bytes as they are)",                  \
      "write the document in UTF-8", Mend::zelfmt)                                                       \
    X(see_encoding, "the document's encoding (see the finding at its first line)",                       \
      "write the document in UTF-8", Mend::zelfmt)                                                       \
    X(empty_name,                                                                                        \
      "an empty line after an integer element's line (zelreport reads its line break as an "             \
      "empty name and prints \"ParseConfigFile(), found name is empty\" among the reports)",             \
      "remove the empty line", Mend::zelfmt)                                                             \
    X(generic, "a layout that zelreport reads differently", "", Mend::zelfmt)

enum class Cause : std::uint8_t {
#define ZELXML_CAUSE_ID(id, what, fix, mend) id,
    ZELXML_CAUSES(ZELXML_CAUSE_ID)
#undef ZELXML_CAUSE_ID
};

// The rows of the table; `generic` is the last.
inline constexpr std::size_t kCauseCount = static_cast<std::size_t>(Cause::generic) + 1;

struct CauseText {
    std::string_view what;
    std::string_view fix;  // without "run zelfmt"
    Mend mend;
};

const CauseText& Describe(Cause cause);

// "; cause: WHAT; fix: FIX[, or run zelfmt]": how both programs word a cause.
std::string CauseAndFix(Cause cause);

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
