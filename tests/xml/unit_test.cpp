// SPDX-License-Identifier: MIT
// The pieces of zelcheck and zelfmt whose rules a golden document shows
// only one case at a time: which causes zelfmt mends, what a text's
// content makes zelreport do, and how the printer orders, caps and sums up.
#include <gtest/gtest.h>

#include <string>

#include "xml/cause.h"
#include "xml/content.h"
#include "xml/findings.h"

namespace {

using namespace zelreport::xml;

TEST(Causes, RunZelfmtIsAdvisedExactlyWhereZelfmtMends) {
    for (std::size_t c = 1; c < kCauseCount; ++c) {
        auto cause = static_cast<Cause>(c);
        std::string words = CauseAndFix(cause);
        EXPECT_EQ(words.ends_with("run zelfmt"), Describe(cause).mend == Mend::zelfmt) << words;
        EXPECT_FALSE(Describe(cause).what.empty()) << c;
    }
}

TEST(Content, TextHazardsAreThoseOfZelreportsTextReading) {
    const struct {
        Field field;
        const char* text;
        Cause hazard;
    } cases[] = {
        {Field::typvar, "P", Cause::none},
        {Field::typvar, "\nP", Cause::none},  // the byte after the tag is stored whatever it is
        {Field::typvar, "P\nQ", Cause::line_break_in_text},
        {Field::typvar, "\rP", Cause::reference_in_text},
        {Field::etiket, "R&D", Cause::reference_in_text},
        {Field::etiket, "a<b", Cause::reference_in_text},
        {Field::etiket, "", Cause::empty_text},
        {Field::etiket, "    ", Cause::empty_text},
        {Field::etiket, "   ", Cause::none},
        {Field::etiket, ">A", Cause::none},
        {Field::etiket, "A>", Cause::gt_in_text},
        {Field::nomvar, ">>", Cause::none},
        {Field::nomvar, ">A", Cause::gt_in_text},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(TextHazard(c.field, text, text.size()), c.hazard) << '"' << text << '"';
    }
    EXPECT_EQ(TextHazard(Field::nomvar, "A", 8'192'001), Cause::long_text);
}

// Findings go to the writer out of line order and beyond the cap.
std::string Print(bool all) {
    std::string text;
    {
        Output out(AppendTo(text));
        FindingWriter writer("f.xml", out, all);
        for (std::uint64_t record = 1; record <= kShownRecordsPerCause + 2; ++record) {
            writer.Begin("record " + std::to_string(record), true);
            writer.Error({0, 10 * record + 5, 1}, "late", Cause::space_indent);
            writer.Warning({0, 10 * record, 3}, "early");
            if (record == 1) writer.Error({0, 10, 1}, "other", Cause::crlf);
            writer.End();
        }
        writer.Begin("record 13", true);
        writer.End();
        writer.Finish(true);
    }
    return text;
}

TEST(FindingWriter, LineOrderCountsPerCauseAndASummary) {
    std::string text = Print(false);
    EXPECT_TRUE(text.starts_with("f.xml:10:1: error: record 1: other; cause: a CRLF")) << text;
    EXPECT_NE(text.find("f.xml:10:3: warning: record 1: early\nf.xml:15:1: error: record 1: late"),
              std::string::npos);
    EXPECT_NE(text.find("f.xml:105:1: error: record 10: late"), std::string::npos);
    EXPECT_EQ(text.find("record 11:"), std::string::npos);
    EXPECT_NE(text.find("f.xml: note: 2 more records with the same warning\n"), std::string::npos);
    EXPECT_NE(text.find("f.xml: note: 2 more records with the same cause: a line indented with spaces"),
              std::string::npos);
    EXPECT_TRUE(text.ends_with("f.xml: 13 records: 1 read as the XML means, 12 misread\n")) << text;

    std::string all = Print(true);
    EXPECT_NE(all.find("f.xml:125:1: error: record 12: late"), std::string::npos);
    EXPECT_EQ(all.find(": note: "), std::string::npos);
}

}  // namespace
