// SPDX-License-Identifier: MIT
// The pieces of zelcheck and zelfmt whose rules a golden document shows
// only one case at a time: which causes zelfmt mends, what a text's
// content makes zelreport do, how the printer orders, caps and sums up,
// how values are written and converted, how integers and texts are read
// and shown, and the command line.
#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "xml/common/command_line.h"
#include "xml/common/show.h"
#include "xml/compare/values.h"
#include "xml/diagnose/rules.h"
#include "xml/format/values_writer.h"
#include "xml/print/findings.h"
#include "xml/print/form.h"
#include "xml/read/content.h"
#include "xml/read/values_text.h"
#include "zelreport/zelreport.h"

namespace {

using namespace zelreport::xml;

TEST(Causes, RunZelfmtIsAdvisedExactlyWhereZelfmtMendsAndRuleNamesAreUnique) {
    std::set<std::string_view> names;
    for (Cause cause : Rules()) {
        std::string words = CauseAndFix(cause);
        EXPECT_EQ(words.ends_with("run zelfmt"), Describe(cause).mend == Mend::zelfmt) << words;
        EXPECT_FALSE(Describe(cause).what.empty()) << words;
        EXPECT_TRUE(names.insert(Describe(cause).rule).second) << Describe(cause).rule;
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
    Output out(AppendTo(text));
    std::unique_ptr<Form> form = MakeForm(FormKind::text, out, false);
    FindingWriter writer("f.xml", *form, {.cap = !all});
    for (std::uint64_t record = 1; record <= kShownRecordsPerCause + 2; ++record) {
        writer.Begin({record, 10 * record});
        writer.Add({{0, 10 * record + 5, 1}, Severity::error, Cause::space_indent, "late"});
        writer.Add({{0, 10 * record, 3}, Severity::warning, Cause::value_count, "early"});
        if (record == 1) writer.Add({{0, 10, 1}, Severity::error, Cause::crlf, "other"});
        writer.End();
    }
    writer.Begin({13, 130});
    writer.End();
    writer.Finish(std::nullopt);
    form->Finish();
    return text;
}

TEST(FindingWriter, LineOrderCountsPerCauseAndASummary) {
    std::string text = Print(false);
    EXPECT_TRUE(text.starts_with("f.xml:10:1: error: record 1 (line 10): other; cause: a CRLF")) << text;
    EXPECT_NE(text.find("[crlf-values]\nf.xml:10:3: warning: record 1 (line 10): early; cause: a count"),
              std::string::npos);
    EXPECT_NE(text.find("[value-count]\nf.xml:15:1: error: record 1 (line 10): late"), std::string::npos);
    EXPECT_NE(text.find("f.xml:105:1: error: record 10 (line 100): late"), std::string::npos);
    EXPECT_EQ(text.find("record 11 "), std::string::npos);
    EXPECT_NE(text.find("f.xml: note: 2 more records with the same cause: a count of values"),
              std::string::npos);
    EXPECT_NE(text.find("f.xml: note: 2 more records with the same cause: a line indented with spaces"),
              std::string::npos);
    EXPECT_TRUE(text.ends_with("f.xml: 13 records: 1 read as the XML means, 12 misread\n")) << text;

    std::string all = Print(true);
    EXPECT_NE(all.find("f.xml:125:1: error: record 12 (line 120): late"), std::string::npos);
    EXPECT_EQ(all.find(": note: "), std::string::npos);
}

// The values writer's output for a text given in pieces.
std::string WriteValues(const std::vector<std::string>& pieces) {
    std::string text;
    {
        Output out(AppendTo(text));
        ValuesWriter writer(out);
        for (const std::string& piece : pieces) writer.Write(piece);
    }
    return text;
}

TEST(ValuesWriter, OneBlankBetweenTokensAndEntitiesWhateverThePieces) {
    const struct {
        std::vector<std::string> pieces;
        const char* written;
    } cases[] = {
        {{"1 2 3"}, "1 2 3"},      {{"  1\t\t2\n\r\n3  "}, "1 2 3"}, {{"a<b >c &"}, "a&lt;b &gt;c &amp;"},
        {{"1 2 ", "3"}, "1 2 3"},  // the blank that ends a piece still separates
        {{"1", " 2"}, "1 2"},      {{"1 ", "  ", "\n2 "}, "1 2"},    {{"", " 1 ", ""}, "1"},
        {{"1\t", "&"}, "1 &amp;"},
    };
    for (const auto& c : cases) EXPECT_EQ(WriteValues(c.pieces), c.written) << c.pieces.front();
}

// A line is broken at the first token end at or past 240 bytes: with
// tokens of 5 bytes and a blank, after the 41st (245 bytes).
TEST(ValuesWriter, LinesBreakAfterTheTokenThatReaches240Bytes) {
    std::string text, first, second;
    for (int i = 0; i < 50; ++i) {
        text += "12345 ";
        (i < 41 ? first : second) += i == 0 || i == 41 ? "12345" : " 12345";
    }
    EXPECT_EQ(WriteValues({text}), first + "\n " + second);
}

// A values text of a few megabytes is kept in blocks; written back, it
// holds the same tokens, none joined or split where one block ends.
TEST(ValuesWriter, TokensSurviveTheBlocksOfALongText) {
    std::string text;
    for (int i = 0; text.size() < 3'000'000; ++i) text += std::to_string(i % 9973) + (i % 5 ? " " : "\t\n ");
    ValuesText values;
    for (std::size_t at = 0; at < text.size(); at += 7777)
        values.append(text.data() + at, std::min<std::size_t>(7777, text.size() - at));
    std::string written;
    {
        Output out(AppendTo(written));
        ValuesWriter writer(out);
        values.ForEachBlock([&](std::string_view block) { writer.Write(block); });
    }
    std::vector<std::string_view> before, after;
    ForEachToken(text, [&](std::string_view token) { before.push_back(token); });
    ForEachToken(written, [&](std::string_view token) { after.push_back(token); });
    EXPECT_EQ(after, before);
}

// The meaning's conversion must give, bit for bit, what zelreport's reader
// gives for the same tokens: zelcheck compares the two.
template <typename T>
void ExpectConvertedAsZelreportDoes(const std::string& tokens, int datyp) {
    std::vector<T> reported, meant;
    zelreport::Handlers handlers;
    handlers.on_record = [&reported](const zelreport::RecordView& r) {
        if constexpr (std::is_same_v<T, float>)
            reported.assign(r.floatdata.begin(), r.floatdata.end());
        else
            reported.assign(r.intdata.begin(), r.intdata.end());
    };
    zelreport::run_buffer("<datyp>" + std::to_string(datyp) + "</datyp>\n<values>" + tokens +
                              "</values>\n</zeldata>\n</zelrecord>\n",
                          handlers);
    ForEachValue<T>(std::string_view(tokens), [&meant](T value) { meant.push_back(value); });
    ASSERT_EQ(meant.size(), reported.size()) << tokens;
    for (std::size_t i = 0; i < meant.size(); ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(meant[i]), std::bit_cast<std::uint32_t>(reported[i]))
            << "token " << i + 1 << " of " << tokens;
}

TEST(Values, ConvertedAsZelreportConvertsThem) {
    ExpectConvertedAsZelreportDoes<float>(
        "1.5 -0 +7 1e40 nan -inf 0x1.8p1 1.5-2 .5 5. 1e-50 3.4028236e38 123456789012 "
        "00000000000000000000000001.25 0.1 16777217 1.17549435e-38 7.0064923e-46 x 1e 2e+",
        1);
    ExpectConvertedAsZelreportDoes<std::int32_t>(
        "12 -3 +4 2147483648 -2147483649 99999999999 1.5 0x10 - 007 12x", 2);
}

TEST(Content, IntegersAsZelreportReadsThem) {
    const struct {
        const char* content;
        std::optional<std::int32_t> number;
    } cases[] = {
        {"42", 42},
        {"  -7\n", -7},
        {"+5", 5},
        {"-0", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MIN},  // two's complement
        {"4294967295", -1},
        {"-2147483648", INT_MIN},
        {"4294967296", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"1 2", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseInteger(c.content), c.number) << '"' << c.content << '"';
}

TEST(Show, TextsQuotedEscapedAndCut) {
    const struct {
        std::string text;
        const char* shown;
    } cases[] = {
        {"P", "\"P\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"\n\r\t", "\"\\n\\r\\t\""},
        {"\x01\x7f", "\"\\x01\\x7f\""},
        {"\xc3\xa9t\xc3\xa9", "\"\xc3\xa9t\xc3\xa9\""},  // UTF-8 as it is
        {"\xe9t\xe9", "\"\\xe9t\\xe9\""},                // Latin-1 escaped
        {std::string(50, 'A'), "\"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA...\" (50 bytes)"},
    };
    for (const auto& c : cases) EXPECT_EQ(ShowText(&c.text, c.text.size()), c.shown);
    EXPECT_EQ(ShowText(nullptr, 0), "nothing");
}

TEST(Show, FloatsInTheirShortestExactSpelling) {
    const struct {
        float value;
        const char* shown;
    } cases[] = {
        {0.1f, "0.1"},    {3.0f, "3"},         {-0.0f, "-0"},     {16777216.0f, "16777216"},
        {1e10f, "1e+10"}, {1.4e-45f, "1e-45"}, {INFINITY, "inf"}, {-INFINITY, "-inf"},
    };
    for (const auto& c : cases) EXPECT_EQ(ShowFloat(c.value), c.shown);
}

TEST(CommandLine, OptionsFilesAndUsageErrors) {
    const Program zelcheck{"zelcheck", "usage\n", kCheckOptions}, zelfmt{"zelfmt", "usage\n", kFormatOptions};
    const struct {
        const Program& program;
        std::vector<std::string> arguments;
        std::optional<int> status;
        std::vector<std::string> files;
        bool all;
    } cases[] = {
        {zelcheck, {}, std::nullopt, {"-"}, false},
        {zelcheck, {"a.xml", "-"}, std::nullopt, {"a.xml", "-"}, false},
        {zelcheck, {"--all", "a"}, std::nullopt, {"a"}, true},
        {zelcheck, {"--", "-h", "--all"}, std::nullopt, {"-h", "--all"}, false},
        {zelcheck, {"-x", "a"}, kTroubleStatus, {}, false},
        {zelfmt, {"--all"}, kTroubleStatus, {}, false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words{std::string(c.program.name)};
        words.insert(words.end(), c.arguments.begin(), c.arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        Options options;
        EXPECT_EQ(ParseCommandLine(static_cast<int>(argv.size()), argv.data(), c.program, options), c.status)
            << words.back();
        if (c.status) continue;
        EXPECT_EQ(options.files, c.files) << words.back();
        EXPECT_EQ(options.all, c.all) << words.back();
    }
}

}  // namespace
