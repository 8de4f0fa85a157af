// SPDX-License-Identifier: MIT
// Random record sets written in many XML styles. For each document D:
// zelreport reads zelfmt(D) as the record set's reports; zelcheck finds
// nothing in zelfmt(D); zelfmt(zelfmt(D)) == zelfmt(D); zelfmt(D) has the
// same meaning; and where zelcheck finds nothing in D, zelreport reads D
// right too.
#include <expat.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "elements/number.h"
#include "xml/check.h"
#include "xml/common/show.h"
#include "xml/compare/meaning.h"
#include "xml/format.h"
#include "xml/read/content.h"
#include "xml/read/document_reader.h"

namespace {

using namespace zelreport;
using namespace zelreport::xml;

struct Rec {
    std::optional<std::string> text[kFieldCount];
    std::optional<std::int32_t> number[kFieldCount];
    bool has_values = false;
    std::vector<std::string> tokens;
};

struct Style {
    bool one_line, crlf, tabs, cdata, entities, comments, attributes, minus_lines, datyp_after, no_wrapper,
        twos_complement, int_blanks, empty_texts, utf16;
    int spaces;
};

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}
    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool Chance(int percent) { return Below(100) < percent; }

    // Texts zelreport can read: a ">" only first, and a nomvar's only as ">>".
    std::string Text(Field field) {
        static const std::string kBytes = "ABCXYZabz019 _.-\t";
        std::string text(1 + Below(8), 'A');
        for (char& c : text) c = kBytes[Below(static_cast<int>(kBytes.size()))];
        if (Chance(10)) text = field == Field::nomvar ? ">>" : ">" + text;
        return text == "    " ? "A" : text;
    }
    std::string Token() {
        static const char* const kOdd[] = {"abc",  "1e5", "-0",  "+3", "0x1p3", "inf",
                                           "-nan", "1&2", "3<4", ">5", "7e40"};
        if (Chance(10)) return kOdd[Below(std::size(kOdd))];
        std::string token = Cat(Chance(40) ? "-" : "", std::to_string(Below(100000)));
        if (Chance(60)) token += Cat(".", std::to_string(Below(1000)));
        return token;
    }
    std::vector<Rec> Records() {
        std::vector<Rec> records(Below(4));
        for (Rec& r : records) {
            for (std::size_t i = 0; i < kFieldCount; ++i) {
                FieldKind kind = kFields[i].kind;
                if (kind == FieldKind::text && Chance(60)) r.text[i] = Text(static_cast<Field>(i));
                if ((kind == FieldKind::stored || kind == FieldKind::negated) && Chance(40))
                    r.number[i] = Chance(50) ? Below(2000) - 1000 : static_cast<std::int32_t>(random_());
            }
            if (Chance(70))
                r.number[static_cast<std::size_t>(Field::datyp)] = "\x01\x01\x02\x05\x03"[Below(5)];
            r.has_values = Chance(80);
            for (int n = Below(10); r.has_values && n > 0; --n) r.tokens.push_back(Token());
        }
        return records;
    }
    Style PickStyle() {
        return {Chance(20), Chance(20), Chance(20), Chance(20), Chance(30),
                Chance(20), Chance(20), Chance(20), Chance(20), Chance(20),
                Chance(30), Chance(20), Chance(20), Chance(10), Below(3) * 2};
    }

private:
    std::mt19937 random_;
};

std::string Escape(const std::string& text, const Style& style, Generator& g) {
    if (style.cdata && text.find("]]>") == std::string::npos) return Cat("<![CDATA[", text, "]]>");
    std::string out;
    for (char c : text) {
        if (c == '&' || c == '<' || c == '>' || (style.entities && g.Chance(20)))
            out += Cat("&#", std::to_string(static_cast<unsigned char>(c)), ";");
        else
            out += c;
        if (style.comments && g.Chance(5)) out += "<!--c-->";
    }
    return out;
}

std::string Write(const std::vector<Rec>& records, const Style& style, Generator& g) {
    std::string eol = style.one_line ? "" : style.crlf ? "\r\n" : "\n";
    auto indent = [&](int depth) {
        return style.one_line ? std::string()
                              : std::string(depth * (style.tabs ? 1 : style.spaces), style.tabs ? '\t' : ' ');
    };
    auto element = [&](int depth, std::string_view name, const std::string& content) {
        std::string attribute = style.attributes && g.Chance(30) ? " a=\"1\"" : "";
        std::string comment = style.comments && g.Chance(20) ? "<!-- note -->" : "";
        return Cat(indent(depth), comment, "<", name, attribute, ">", content, "</", name, ">", eol);
    };
    std::string doc = Cat("<?xml version=\"1.0\"?>", eol, "<orv-standard-file>", eol);
    for (const Rec& r : records) {
        doc += Cat(indent(1), "<zelrecord>", eol);
        std::string datyp;
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            std::string content;
            if (r.text[i]) content = Escape(*r.text[i], style, g);
            // An empty text means what an absent one does to zelreport.
            if (!r.text[i] && kFields[i].kind == FieldKind::text && style.empty_texts && g.Chance(30))
                doc += Cat(indent(2), "<", kFields[i].name,
                           g.Chance(50) ? "/>" : "></" + std::string(kFields[i].name) + ">", eol);
            if (r.number[i]) {
                std::int64_t v = *r.number[i];
                if (style.twos_complement && v < 0) v += std::int64_t{1} << 32;
                content = Cat(style.int_blanks ? " " : "", std::to_string(v), style.int_blanks ? "\n " : "");
            }
            if (!r.text[i] && !r.number[i]) continue;
            std::string line = element(2, kFields[i].name, content);
            (style.datyp_after && static_cast<Field>(i) == Field::datyp ? datyp : doc) += line;
        }
        std::string values;
        for (const std::string& token : r.tokens) values += Cat(style.minus_lines ? "\n" : " ", token);
        std::string inside = r.has_values ? element(3, "values", Escape(values, style, g)) : "";
        if (style.no_wrapper)
            doc += Cat(inside, datyp);
        else
            doc += Cat(indent(2), "<zeldata>", eol, inside, datyp, indent(2), "</zeldata>", eol);
        doc += Cat(indent(1), "</zelrecord>", eol);
    }
    doc += Cat("</orv-standard-file>", eol);
    if (!style.utf16) return doc;
    // The same text in UTF-16LE, with its byte order mark (the texts and
    // values written are ASCII).
    std::string wide = "\xFF\xFE";
    for (char c : Cat("<?xml version=\"1.0\" encoding=\"UTF-16\"?>", eol, doc.substr(doc.find('<', 1)))) {
        wide += c;
        wide += '\0';
    }
    return wide;
}

// The reports of the record set, from the library's own conversions.
std::string Expected(const std::vector<Rec>& records) {
    std::string reports, scratch;
    std::int32_t numbers[kFieldCount] = {};
    for (const Rec& r : records) {
        for (std::size_t i = 0; i < kFieldCount; ++i)
            if (r.number[i]) numbers[i] = *r.number[i];
        std::vector<float> floats;
        std::vector<std::int32_t> ints;
        DataKind kind = data_kind(numbers[static_cast<std::size_t>(Field::datyp)]);
        for (const std::string& t : r.tokens) {
            if (kind == DataKind::floats) floats.push_back(ConvertFloat(t, scratch));
            if (kind == DataKind::ints) ints.push_back(ConvertInt(t));
        }
        auto text = [&](Field f) {
            return r.text[static_cast<std::size_t>(f)] ? &*r.text[static_cast<std::size_t>(f)] : nullptr;
        };
        auto number = [&](Field f) { return ReportedNumber(f, numbers[static_cast<std::size_t>(f)]); };
        RecordView v;
#define TEST_TEXT(name, label) v.name = text(Field::name);
#define TEST_INT(name, label, rule) v.name = number(Field::name);
        ZELREPORT_FIELDS(TEST_TEXT, TEST_INT)
#undef TEST_TEXT
#undef TEST_INT
        v.has_floatdata = r.has_values && kind == DataKind::floats;
        v.has_intdata = r.has_values && kind == DataKind::ints;
        v.floatdata = floats;
        v.intdata = ints;
        append_report(v, reports);
    }
    return reports;
}

std::string Reports(const std::string& document) {
    std::string reports;
    Handlers handlers;
    handlers.on_record = [&](const RecordView& v) { append_report(v, reports); };
    run_buffer(document, handlers);
    return reports;
}

struct MeaningReports final : RecordSink {
    std::string text;
    void OnRecord(std::unique_ptr<XmlRecord>& record) override { text += MeaningReport(*record); }
};

// Runs zelfmt's or zelcheck's engine on a document in memory.
template <typename Engine>
auto InMemory(Engine engine, const std::string& document, std::string& out) {
    Output output(AppendTo(out));
    return engine("d.xml", ReadFromMemory(document), output);
}
FormatResult Format(std::string_view name, ReadFn read, Output& out) {
    return FormatDocument(name, std::move(read), out);
}
CheckResult Check(std::string_view name, ReadFn read, Output& out) {
    return CheckDocument(name, std::move(read), out);
}

TEST(Properties, HoldForRandomRecordSetsInManyStyles) {
    constexpr int kDocuments = 300;
    Generator g(20261207);
    for (int n = 0; n < kDocuments; ++n) {
        std::vector<Rec> records = g.Records();
        std::string d = Write(records, g.PickStyle(), g), expected = Expected(records);
        SCOPED_TRACE(Cat("document ", std::to_string(n), ":\n", d));
        std::string f, again, findings;
        FormatResult formatted = InMemory(Format, d, f);
        ASSERT_EQ(formatted.outcome, FormatResult::written) << formatted.message;
        EXPECT_EQ(Reports(f), expected);
        CheckResult check = InMemory(Check, f, findings);
        EXPECT_FALSE(check.trouble) << check.message;
        EXPECT_EQ(check.summary.errors, 0u) << findings;
        InMemory(Format, f, again);
        EXPECT_EQ(again, f);
        MeaningReports meaning;
        DocumentReader reader(meaning, {});
        ASSERT_TRUE(reader.Parse(f.data(), f.size(), true)) << reader.trouble().message;
        EXPECT_EQ(meaning.text, expected);
        // zelcheck on the document itself: finding nothing means zelreport reads it right.
        findings.clear();
        check = InMemory(Check, d, findings);
        ASSERT_FALSE(check.trouble) << check.message;
        if (check.summary.errors == 0) {
            EXPECT_EQ(Reports(d), expected) << findings;
        }
        // Broken inside its last record, the document keeps the findings of
        // the records before, then stops with the trouble.
        std::size_t last = d.rfind("<zelrecord>");
        if (last == std::string::npos || d[1] == '\0') continue;
        std::string broken = d, before_findings;
        broken.insert(last + std::string_view("<zelrecord>").size(), "<ni>1</nj>");
        check = InMemory(Check, broken, before_findings);
        EXPECT_TRUE(check.trouble);
        std::string kept = Cat(": record ", std::to_string(records.size()), " (");
        for (std::size_t at = 0, end; (end = findings.find('\n', at)) != std::string::npos; at = end + 1) {
            std::string line = findings.substr(at, end - at + 1);
            if (line.find(": record ") != std::string::npos && line.find(kept) == std::string::npos) {
                EXPECT_NE(before_findings.find(line), std::string::npos) << line;
            }
        }
    }
}

// zelcheck takes zelreport's values as right, unconverted, only where
// zelreport read plainly the very bytes of the XML text; every other
// layout is compared value by value and a difference found.
TEST(Properties, ValuesReadDifferentlyAreFoundWhateverTheLayout) {
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
        CheckResult check = InMemory(Check, document, findings);
        EXPECT_FALSE(check.trouble) << check.message;
        EXPECT_EQ(check.summary.errors > 0, c.misread) << c.values << "\n" << findings;
    }
}

// A values text of megabytes is written while the rest of its record is
// read: the record's fields still come first, a second values element
// still replaces the first, either long or short, and zelcheck finds the
// output read exactly.
TEST(Properties, LongValuesTextsAreWrittenWhole) {
    auto long_text = [](int seed, std::size_t bytes) {
        std::string text;
        for (int i = 0; text.size() < bytes; ++i)
            text += std::to_string((i * seed) % 100003) + (i % 11 ? " " : "\t\n  ");
        return text;
    };
    const std::string t1 = long_text(7, 3'000'000), t2 = long_text(13, 2'000'000),
                      t3 = long_text(17, 1'500'000);
    auto values = [](const std::string& text) { return Cat("<values>", text, "</values>"); };
    std::string d = Cat("<orv-standard-file>\n<zelrecord><nomvar>A</nomvar><zeldata>", values(t1),
                        "</zeldata><etiket>E</etiket></zelrecord>\n<zelrecord><zeldata>", values(t2),
                        values("7 8 9"), "</zeldata></zelrecord>\n<zelrecord><zeldata>", values("1 2"),
                        values(t3), "</zeldata></zelrecord>\n<zelrecord><zeldata>", values(t2), values(t3),
                        "</zeldata></zelrecord>\n</orv-standard-file>\n");
    std::string f, findings;
    FormatResult formatted = InMemory(Format, d, f);
    ASSERT_EQ(formatted.outcome, FormatResult::written) << formatted.message;
    auto tokens = [](std::string_view text) {
        std::vector<std::string_view> all;
        ForEachToken(text, [&all](std::string_view token) { all.push_back(token); });
        return all;
    };
    std::size_t at = 0;
    for (const std::string* meant : {&t1, &t2, &t3, &t3}) {
        std::size_t begin = f.find("<values>", at) + std::string_view("<values>").size();
        at = f.find("</values>", begin);
        std::string_view written(f.data() + begin, at - begin);
        if (meant == &t2) {
            EXPECT_EQ(written, "7 8 9");
        } else {
            EXPECT_TRUE(tokens(written) == tokens(*meant)) << written.substr(0, 40);
        }
    }
    EXPECT_LT(f.find("<etiket>E</etiket>\n"), f.find("<values>"));  // the field given after the values
    CheckResult check = InMemory(Check, f, findings);
    EXPECT_FALSE(check.trouble) << check.message;
    EXPECT_EQ(check.summary.errors, 0u) << findings;
}

}  // namespace

namespace {

// Every element with a text of its own, by name, with the names of the
// elements around it.
struct Texts {
    struct Element {
        std::vector<std::string> names;  // its own last
        std::string text;
    };
    std::vector<Element> elements;
    std::vector<std::string> open;
    std::vector<std::string> text;
};

std::vector<Texts::Element> ElementTexts(const std::string& document) {
    Texts texts;
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &texts);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char**) {
            auto& t = *static_cast<Texts*>(data);
            t.open.emplace_back(name);
            t.text.emplace_back();
        },
        [](void* data, const XML_Char*) {
            auto& t = *static_cast<Texts*>(data);
            std::string text;
            ForEachToken(t.text.back(), [&](std::string_view token) { text += Cat(token, " "); });
            if (!text.empty()) t.elements.push_back({t.open, text});
            t.open.pop_back();
            t.text.pop_back();
        });
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int size) {
        static_cast<Texts*>(data)->text.back().append(text, static_cast<std::size_t>(size));
    });
    XML_Parse(parser, document.data(), static_cast<int>(document.size()), XML_TRUE);
    XML_ParserFree(parser);
    return texts.elements;
}

// Documents with elements out of place: wrappers, unknown and misspelt
// elements, fields outside records, empty texts.
std::string OutOfPlace(Generator& g) {
    static const char* const kNames[] = {"group", "Zelrecord", "ns:zelrecord", "ipl", "note", "nomvar", "ni"};
    auto any = [&] { return std::string(kNames[g.Below(std::size(kNames))]); };
    auto stray = [&] {
        std::string name = any();
        std::string text = g.Chance(70) ? std::to_string(g.Below(1000)) : "";
        return Cat("<", name, g.Chance(30) ? " xmlns:ns=\"u\"" : "", ">", text, "</", name, ">\n");
    };
    std::string d = "<orv-standard-file>\n";
    for (int r = g.Below(4); r > 0; --r) {
        bool wrapped = g.Chance(40);
        if (wrapped) d += "<group>\n";
        if (g.Chance(40)) d += stray();
        d += Cat("<zelrecord>\n<nomvar>R", std::to_string(r), "</nomvar>\n");
        if (g.Chance(40)) d += g.Chance(50) ? "<typvar/>\n" : stray();
        d += "<datyp>1</datyp>\n<zeldata>\n";
        if (g.Chance(30)) d += Cat("<note>", std::to_string(g.Below(9)), "<ip2>7</ip2></note>\n");
        d += Cat("<values>", std::to_string(g.Below(100)), " 2.5</values>\n</zeldata>\n</zelrecord>\n");
        if (wrapped) d += "</group>\n";
    }
    return d + "</orv-standard-file>\n";
}

// What zelfmt does not carry it names in a warning: the element, or one
// around it.
TEST(Properties, NoTextLeftOutUnlessAWarningNamesIt) {
    Generator g(20270101);
    for (int n = 0; n < 200; ++n) {
        std::string d = OutOfPlace(g), f;
        SCOPED_TRACE(d);
        FormatResult formatted = InMemory(Format, d, f);
        if (formatted.outcome != FormatResult::written) continue;  // an integer field with no integer
        std::vector<Texts::Element> written = ElementTexts(f), read = ElementTexts(d);
        for (auto element = read.begin(); element != read.end(); ++element) {
            // A field given again in its record counts once, the last time.
            bool replaced = std::any_of(element + 1, read.end(), [&](const Texts::Element& later) {
                return later.names == element->names;
            });
            bool carried = std::any_of(written.begin(), written.end(), [&](const Texts::Element& w) {
                return w.names.back() == element->names.back() && w.text == element->text;
            });
            bool named =
                std::any_of(element->names.begin(), element->names.end(), [&](const std::string& name) {
                    return formatted.warnings.find(Cat("<", name, ">")) != std::string::npos;
                });
            EXPECT_TRUE(carried || named || replaced) << element->names.back() << " " << element->text << "\n"
                                                      << f;
        }
    }
}

}  // namespace
