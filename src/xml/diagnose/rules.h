// SPDX-License-Identifier: MIT
// Why zelreport may read a document differently from its XML meaning: the
// causes zelcheck names and zelfmt refuses or warns of, each with its rule
// name and worded once, here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zelreport::xml {

// Whether zelfmt writes a document with this cause so that zelreport
// reads it as the XML means; its fix then ends in ", or run zelfmt".
enum class Mend : std::uint8_t { no, zelfmt };

enum class Severity : std::uint8_t { error, warning };

// X(id, rule name, what zelreport does, the fix, Mend, Severity): one row
// a cause. A rule name never changes once given: people search for it and
// scripts match it. The severity is the cause's usual one; a finding may
// differ (an empty text that zelreport misreads is an error).
#define ZELXML_CAUSES(X)                                                                                     \
    X(none, "", "", "", Mend::no, Severity::error)                                                           \
    X(space_indent, "space-indent", "a line indented with spaces after a closing tag (zelreport skips it)",  \
      "indent with tabs or not at all", Mend::zelfmt, Severity::error)                                       \
    X(several_on_line, "several-on-line",                                                                    \
      "several elements on one line (zelreport drops the rest of a line after a closing tag)",               \
      "put each element on a line of its own", Mend::zelfmt, Severity::error)                                \
    X(integer_layout, "integer-layout",                                                                      \
      "a sign, blank or line break before the digits of an integer (zelreport reads 0)",                     \
      "write the digits right after '>', a negative number as its 32-bit two's complement (-1 as "           \
      "4294967295)",                                                                                         \
      Mend::zelfmt, Severity::error)                                                                         \
    X(not_an_integer, "not-an-integer",                                                                      \
      "an integer field that holds no integer from -2147483648 to 4294967295 (zelreport reads the "          \
      "digits at its start, or 0)",                                                                          \
      "write the number as an integer", Mend::no, Severity::error)                                           \
    X(values_line, "values-line",                                                                            \
      "a values line that does not begin with a space (zelreport ends the values there, or joins a "         \
      "line beginning with '-' to the number before)",                                                       \
      "begin each continuation line with a space", Mend::zelfmt, Severity::error)                            \
    X(wrapper, "record-close",                                                                               \
      "</values>, </zeldata> and </zelrecord> not on three consecutive lines (zelreport misses the "         \
      "record's end)",                                                                                       \
      "close the record with them on three lines", Mend::zelfmt, Severity::error)                            \
    X(datyp_after_values, "datyp-after-values",                                                              \
      "datyp after the values (zelreport converts them with the data type in force before)",                 \
      "give datyp before the values", Mend::zelfmt, Severity::error)                                         \
    X(empty_text, "empty-text",                                                                              \
      "a text that is empty or exactly four spaces (zelreport stores no such text and reports (null), as "   \
      "for a text not given)",                                                                               \
      "leave the element out", Mend::zelfmt, Severity::warning)                                              \
    X(gt_in_text, "gt-in-text",                                                                              \
      "'>' in a text (zelreport ends a text there, and turns a nomvar holding it into '>>')",                \
      "remove the '>'", Mend::no, Severity::error)                                                           \
    X(gt_in_values, "gt-in-values", "'>' in the values (zelreport drops it, joining what stands around it)", \
      "write '>' as &gt;", Mend::zelfmt, Severity::error)                                                    \
    X(reference_in_text, "reference-in-text",                                                                \
      "'&', '<' or a carriage return in a text (XML writes them as entities or character references, "       \
      "which zelreport reads as written; no layout carries them in a text that zelreport reads as the XML "  \
      "means)",                                                                                              \
      "change the text", Mend::no, Severity::error)                                                          \
    X(line_break_in_text, "line-break-in-text",                                                              \
      "a line break inside a text (zelreport ends the text there, or joins the next line when it begins "    \
      "with a space)",                                                                                       \
      "write the text on one line", Mend::no, Severity::error)                                               \
    X(escaped_content, "escaped-content",                                                                    \
      "an entity, character reference or CDATA section (zelreport reads the bytes as written)",              \
      "write the characters themselves", Mend::zelfmt, Severity::error)                                      \
    X(crlf, "crlf-values",                                                                                   \
      "a CRLF line end right after <values> (zelreport reads the carriage return as a value)",               \
      "end lines with LF alone", Mend::zelfmt, Severity::error)                                              \
    X(markup_in_name, "markup-in-name",                                                                      \
      "an attribute, comment, processing instruction or blank where zelreport reads an element name",        \
      "remove it", Mend::zelfmt, Severity::error)                                                            \
    X(long_name, "long-name", "an element name over 200 bytes (zelreport reads it in pieces)", "shorten it", \
      Mend::zelfmt, Severity::error)                                                                         \
    X(long_text, "long-text", "a text over 8,192,000 bytes (zelreport cuts it)", "shorten the text",         \
      Mend::no, Severity::error)                                                                             \
    X(after_root, "after-root",                                                                              \
      "content after </orv-standard-file> (zelreport reads on after that tag when it begins a line after "   \
      "another closing tag)",                                                                                \
      "remove it", Mend::zelfmt, Severity::error)                                                            \
    X(stopped_early, "early-root-end",                                                                       \
      "'/orv-standard-file' read earlier as an element name, where zelreport stops", "remove it",            \
      Mend::zelfmt, Severity::error)                                                                         \
    X(carried_over, "carried-over",                                                                          \
      "the record before was not reported, so its texts and values carried over", "fix the record before",   \
      Mend::zelfmt, Severity::error)                                                                         \
    X(unknown_element, "unknown-element",                                                                    \
      "an element that record documents do not have (zelreport ignores its name and reads what it holds; "   \
      "so does the meaning, which keeps the records, fields and values inside it but not its own text)",     \
      "correct its name, or remove it", Mend::zelfmt, Severity::warning)                                     \
    X(misplaced_element, "misplaced-element",                                                                \
      "a record, field or values element where it means nothing, as a field outside a record (zelreport "    \
      "still reads it, into the record it is reading)",                                                      \
      "move it into its record, or remove it", Mend::zelfmt, Severity::warning)                              \
    X(value_count, "value-count",                                                                            \
      "a count of values other than ni x nj x nk (the statistics count the missing ones as 0, or leave out " \
      "the rest)",                                                                                           \
      "give ni x nj x nk values", Mend::no, Severity::warning)                                               \
    X(encoding, "encoding", "an encoding other than UTF-8 (zelreport reads the bytes as they are)",          \
      "write the document in UTF-8", Mend::zelfmt, Severity::error)                                          \
    X(see_encoding, "encoding-effect", "the document's encoding (see the finding at its first line)",        \
      "write the document in UTF-8", Mend::zelfmt, Severity::error)                                          \
    X(empty_name, "empty-name",                                                                              \
      "an empty line after an integer element's line (zelreport reads its line break as an empty name and "  \
      "prints \"ParseConfigFile(), found name is empty\" among the reports)",                                \
      "remove the empty line", Mend::zelfmt, Severity::warning)                                              \
    X(generic, "other-layout", "a layout that zelreport reads differently", "", Mend::zelfmt, Severity::error)

enum class Cause : std::uint8_t {
#define ZELXML_CAUSE_ID(id, name, what, fix, mend, severity) id,
    ZELXML_CAUSES(ZELXML_CAUSE_ID)
#undef ZELXML_CAUSE_ID
};

// The rows of the table; `generic` is the last.
inline constexpr std::size_t kCauseCount = static_cast<std::size_t>(Cause::generic) + 1;

struct CauseText {
    std::string_view rule;  // the stable name
    std::string_view what;
    std::string_view fix;  // without "run zelfmt"
    Mend mend;
    Severity severity;
};

const CauseText& Describe(Cause cause);

// Every cause but `none`, in the table's order.
std::span<const Cause> Rules();

// "FIX[, or run zelfmt]": the whole fix.
std::string FixOf(Cause cause);

// "; cause: WHAT; fix: FIX[, or run zelfmt]": how both programs word a cause.
std::string CauseAndFix(Cause cause);

// " [RULE]": how a line of text names its rule.
std::string RuleTag(Cause cause);

// "WHAT; cause: ...; fix: ... [RULE]": a refusal or finding in words.
std::string Explained(std::string what, Cause cause);

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
