// SPDX-License-Identifier: MIT
// Values texts that only a whole document shows: which layouts zelcheck
// compares value by value, and texts long enough that zelfmt writes them
// before their record ends.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "support/xml_runs.h"
#include "xml/common/show.h"
#include "xml/read/content.h"

namespace {

using namespace zelreport::xml;

// zelcheck takes zelreport's values as right, unconverted, only where
// zelreport read plainly the very bytes of the XML text; every other
// layout is compared value by value and a difference found.
TEST(ValuesTexts, ReadDifferentlyAreFoundWhateverTheLayout) {
    const struct {
        const char* values;
        bool misread;
    } cases[] = {
        {"<values>1 2 3</values>", false},           {"<values>1\t2\t3 </values>", false},
        {"<values>1\n 2\n 3\n</values>", false},     {"<values>\n1 2 3</values>", false},
        {"<values>1 2 3<!-- x --></values>", false},  // not the same bytes, the same values
        {"<values>1\n-2 3</values>", true},           // "1-2" reads as 1
        {"<values>1\r2 3</values>", true},            // the text ends at the carriage return
        {"<values>1\r\n 2 3</values>", false},        // a CRLF that a blank continues separates
        {"<values>1&#32;2 3</values>", true},        {"<values><![CDATA[1 2 3]]></values>", true},
        {"<values>1 2 <!-- x -->3</values>", true},
    };
    for (const auto& c : cases) {
        std::string document = Cat("<orv-standard-file>\n<zelrecord>\n<ni>3</ni>\n<nj>1</nj>\n<nk>1</nk>\n",
                                   "<datyp>1</datyp>\n<zeldata>\n", c.values,
                                   "\n</zeldata>\n</zelrecord>\n</orv-standard-file>\n"),
                    findings;
        CheckResult check = zeltest::Check(ReadFromMemory(document), findings);
        EXPECT_FALSE(check.trouble) << check.message;
        EXPECT_EQ(check.summary.errors > 0, c.misread) << c.values << "\n" << findings;
    }
}

// Numbers with blanks, tabs and line breaks between them, up to `bytes`.
std::string LongText(int seed, std::size_t bytes) {
    std::string text;
    for (int i = 0; text.size() < bytes; ++i)
        text += std::to_string((i * seed) % 100003) + (i % 11 ? " " : "\t\n  ");
    return text;
}

std::vector<std::string_view> Tokens(std::string_view text) {
    std::vector<std::string_view> all;
    ForEachToken(text, [&all](std::string_view token) { all.push_back(token); });
    return all;
}

// A values text of megabytes is written while the rest of its record is
// read: the record's fields still come first, a second values element
// still replaces the first, either long or short, and zelcheck finds the
// output read exactly.
TEST(ValuesTexts, LongOnesAreWrittenWhole) {
    const std::string t1 = LongText(7, 3'000'000), t2 = LongText(13, 2'000'000), t3 = LongText(17, 1'500'000),
                      short1 = "7 8 9", short2 = "1 2";
    const struct {
        std::vector<const std::string*> given;  // the record's values elements, in order
        const std::string* written;
    } records[] = {{{&t1}, &t1}, {{&t2, &short1}, &short1}, {{&short2, &t3}, &t3}, {{&t2, &t3}, &t3}};
    std::string d = "<orv-standard-file>\n";
    for (const auto& record : records) {
        d += Cat("<zelrecord>", &record == records ? "<nomvar>A</nomvar>" : "", "<zeldata>");
        for (const std::string* text : record.given) d += Cat("<values>", *text, "</values>");
        d += Cat("</zeldata>", &record == records ? "<etiket>E</etiket>" : "", "</zelrecord>\n");
    }
    d += "</orv-standard-file>\n";
    std::string f, findings;
    FormatResult formatted = zeltest::Format(ReadFromMemory(d), f);
    ASSERT_EQ(formatted.outcome, FormatResult::written) << formatted.message;
    std::size_t at = 0;
    for (const auto& record : records) {
        std::size_t begin = f.find("<values>", at) + std::string_view("<values>").size();
        at = f.find("</values>", begin);
        std::string_view written(f.data() + begin, at - begin);
        EXPECT_TRUE(Tokens(written) == Tokens(*record.written)) << written.substr(0, 40);
    }
    EXPECT_LT(f.find("<etiket>E</etiket>\n"), f.find("<values>"));  // the field given after the values
    CheckResult check = zeltest::Check(ReadFromMemory(f), findings);
    EXPECT_FALSE(check.trouble) << check.message;
    EXPECT_EQ(check.summary.errors, 0u) << findings;
}

}  // namespace
