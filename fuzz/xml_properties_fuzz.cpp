// SPDX-License-Identifier: MIT
// libFuzzer entry that writes documents itself, every choice drawn from
// the input's bytes, and checks what ties zelfmt, zelcheck and zelreport
// together on them. The first choice picks the kind of document:
// - a record set written in one of many XML styles (the style's flags are
//   the next choices, so a seed can name them): zelfmt writes D as F;
//   zelreport reads F as the record set's reports; zelcheck finds nothing
//   in F; zelfmt gives F back unchanged; F means the record set; where
//   zelcheck finds nothing in D, zelreport reads D right too; and D broken
//   inside its last record keeps the findings of the records before.
// - elements out of place (wrappers, unknown and misspelt elements, fields
//   outside records): every text zelfmt does not carry over is named in a
//   warning, by its element or one around it.
#include <expat.h>

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "elements/number.h"
#include "fuzz_check.h"
#include "support/xml_runs.h"
#include "xml/common/show.h"
#include "xml/read/content.h"

namespace {

using namespace zelreport;
using namespace zelreport::xml;

// The generator's choices, taken from the input's bytes in order; once
// they are spent every choice is 0, so every input makes one document.
class Choices {
public:
    Choices(const std::uint8_t* data, std::size_t size) : at_(data), end_(data + size) {}

    // A number in [0, n), from as many bytes as n needs.
    int Below(int n) {
        assert(n > 0);
        std::uint64_t value = 0;
        for (std::uint64_t range = 1; range < static_cast<std::uint64_t>(n); range <<= 8)
            value = value << 8 | Byte();
        return static_cast<int>(value % static_cast<std::uint64_t>(n));
    }
    // Yes for `percent` of the byte values: a 0 byte always says yes, 0xFF
    // no to any percent up to 55.
    bool Chance(int percent) { return Below(100) < percent; }
    std::int32_t Word() {
        std::uint32_t high = static_cast<std::uint32_t>(Below(1 << 16));
        return static_cast<std::int32_t>(high << 16 | static_cast<std::uint32_t>(Below(1 << 16)));
    }

private:
    std::uint8_t Byte() { return at_ < end_ ? *at_++ : 0; }
    const std::uint8_t* at_;
    const std::uint8_t* end_;
};

// What a finding shows besides its property: the document it came from.
[[noreturn]] void Broken(std::string_view document, const char* property, std::string_view expected,
                         std::string_view got) {
    std::fprintf(stderr, "document:\n%.*s\n", static_cast<int>(std::min<std::size_t>(document.size(), 4000)),
                 document.data());
    zelfuzz::Fail(property, expected, got);
}

void Expect(std::string_view document, const char* property, std::string_view expected,
            std::string_view got) {
    if (expected != got) Broken(document, property, expected, got);
}

// ---- Record sets in many styles ------------------------------------------

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

Style PickStyle(Choices& c) {
    return {c.Chance(20), c.Chance(20), c.Chance(20), c.Chance(20), c.Chance(30),
            c.Chance(20), c.Chance(20), c.Chance(20), c.Chance(20), c.Chance(20),
            c.Chance(30), c.Chance(20), c.Chance(20), c.Chance(10), c.Below(3) * 2};
}

// Texts zelreport can read: a ">" only first, and a nomvar's only as ">>".
std::string Text(Field field, Choices& c) {
    static const std::string kBytes = "ABCXYZabz019 _.-\t";
    std::string text(1 + c.Below(8), 'A');
    for (char& ch : text) ch = kBytes[c.Below(static_cast<int>(kBytes.size()))];
    if (c.Chance(10)) text = field == Field::nomvar ? ">>" : ">" + text;
    return text == "    " ? "A" : text;
}

std::string Token(Choices& c) {
    static const char* const kOdd[] = {"abc",  "1e5", "-0",  "+3", "0x1p3", "inf",
                                       "-nan", "1&2", "3<4", ">5", "7e40"};
    if (c.Chance(10)) return kOdd[c.Below(std::size(kOdd))];
    std::string token = Cat(c.Chance(40) ? "-" : "", std::to_string(c.Below(100000)));
    if (c.Chance(60)) token += Cat(".", std::to_string(c.Below(1000)));
    return token;
}

std::vector<Rec> Records(Choices& c) {
    std::vector<Rec> records(c.Below(4));
    for (Rec& r : records) {
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            FieldKind kind = kFields[i].kind;
            if (kind == FieldKind::text && c.Chance(60)) r.text[i] = Text(static_cast<Field>(i), c);
            if ((kind == FieldKind::stored || kind == FieldKind::negated) && c.Chance(40))
                r.number[i] = c.Chance(50) ? c.Below(2000) - 1000 : c.Word();
        }
        if (c.Chance(70))
            r.number[static_cast<std::size_t>(Field::datyp)] = "\x01\x01\x02\x05\x03"[c.Below(5)];
        r.has_values = c.Chance(80);
        for (int n = c.Below(10); r.has_values && n > 0; --n) r.tokens.push_back(Token(c));
    }
    return records;
}

std::string Escape(const std::string& text, const Style& style, Choices& c) {
    if (style.cdata && text.find("]]>") == std::string::npos) return Cat("<![CDATA[", text, "]]>");
    std::string out;
    for (char ch : text) {
        if (ch == '&' || ch == '<' || ch == '>' || (style.entities && c.Chance(20)))
            out += Cat("&#", std::to_string(static_cast<unsigned char>(ch)), ";");
        else
            out += ch;
        if (style.comments && c.Chance(5)) out += "<!--c-->";
    }
    return out;
}

std::string Write(const std::vector<Rec>& records, const Style& style, Choices& c) {
    std::string eol = style.one_line ? "" : style.crlf ? "\r\n" : "\n";
    auto indent = [&](int depth) {
        return style.one_line ? std::string()
                              : std::string(depth * (style.tabs ? 1 : style.spaces), style.tabs ? '\t' : ' ');
    };
    auto element = [&](int depth, std::string_view name, const std::string& content) {
        std::string attribute = style.attributes && c.Chance(30) ? " a=\"1\"" : "";
        std::string comment = style.comments && c.Chance(20) ? "<!-- note -->" : "";
        return Cat(indent(depth), comment, "<", name, attribute, ">", content, "</", name, ">", eol);
    };
    std::string doc = Cat("<?xml version=\"1.0\"?>", eol, "<orv-standard-file>", eol);
    for (const Rec& r : records) {
        doc += Cat(indent(1), "<zelrecord>", eol);
        std::string datyp;
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            std::string content;
            if (r.text[i]) content = Escape(*r.text[i], style, c);
            // An empty text means what an absent one does to zelreport.
            if (!r.text[i] && kFields[i].kind == FieldKind::text && style.empty_texts && c.Chance(30))
                doc += Cat(indent(2), "<", kFields[i].name,
                           c.Chance(50) ? "/>" : "></" + std::string(kFields[i].name) + ">", eol);
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
        std::string inside = r.has_values ? element(3, "values", Escape(values, style, c)) : "";
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
    for (char ch : Cat("<?xml version=\"1.0\" encoding=\"UTF-16\"?>", eol, doc.substr(doc.find('<', 1)))) {
        wide += ch;
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
#define FUZZ_TEXT(name, label) v.name = text(Field::name);
#define FUZZ_INT(name, label, rule) v.name = number(Field::name);
        ZELREPORT_FIELDS(FUZZ_TEXT, FUZZ_INT)
#undef FUZZ_TEXT
#undef FUZZ_INT
        v.has_floatdata = r.has_values && kind == DataKind::floats;
        v.has_intdata = r.has_values && kind == DataKind::ints;
        v.floatdata = floats;
        v.intdata = ints;
        append_report(v, reports);
    }
    return reports;
}

// Broken inside its last record, the document keeps the findings of the
// records before (`findings`, zelcheck's on it whole), then stops with
// the trouble.
void CheckBrokenLastRecord(const std::string& d, std::size_t records, const std::string& findings) {
    std::size_t last = d.rfind("<zelrecord>");
    if (last == std::string::npos || d[1] == '\0') return;  // no record, or UTF-16
    std::string broken = d, before_findings;
    broken.insert(last + std::string_view("<zelrecord>").size(), "<ni>1</nj>");
    if (!zeltest::Check(ReadFromMemory(broken), before_findings).trouble)
        Broken(broken, "a document broken in its last record is checked to its end", "trouble", "none");
    std::string kept = Cat(": record ", std::to_string(records), " (");
    for (std::size_t at = 0, end; (end = findings.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string line = findings.substr(at, end - at + 1);
        if (line.find(": record ") != std::string::npos && line.find(kept) == std::string::npos &&
            before_findings.find(line) == std::string::npos)
            Broken(broken, "a finding of a record before the break is lost", line, before_findings);
    }
}

void RecordSetInAStyle(Choices& c) {
    Style style = PickStyle(c);
    std::vector<Rec> records = Records(c);
    std::string d = Write(records, style, c), expected = Expected(records);
    std::string f, again, findings, trouble;
    FormatResult formatted = zeltest::Format(ReadFromMemory(d), f);
    if (formatted.outcome != FormatResult::written)
        Broken(d, "zelfmt writes the document", "", formatted.message);
    Expect(d, "zelreport reads zelfmt's output as the record set", expected, zeltest::ZelreportReports(f));
    CheckResult check = zeltest::Check(ReadFromMemory(f), findings);
    if (check.trouble || check.summary.errors != 0)
        Broken(f, "zelcheck finds nothing in zelfmt's output", "", Cat(check.message, findings));
    zeltest::Format(ReadFromMemory(f), again);
    Expect(f, "zelfmt gives its output back unchanged", f, again);
    std::optional<std::string> meaning = zeltest::MeaningReports(f, &trouble);
    if (!meaning) Broken(f, "zelfmt's output has a meaning", "", trouble);
    Expect(f, "zelfmt's output means the record set", expected, *meaning);
    // zelcheck on the document itself: finding nothing means zelreport reads it right.
    findings.clear();
    check = zeltest::Check(ReadFromMemory(d), findings);
    if (check.trouble) Broken(d, "zelcheck checks the document to its end", "", check.message);
    if (check.summary.errors == 0)
        Expect(d, "zelcheck finds nothing, so zelreport reads the document right", expected,
               zeltest::ZelreportReports(d));
    CheckBrokenLastRecord(d, records.size(), findings);
}

// ---- Elements out of place -----------------------------------------------

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

std::string OutOfPlace(Choices& c) {
    static const char* const kNames[] = {"group", "Zelrecord", "ns:zelrecord", "ipl", "note", "nomvar", "ni"};
    auto any = [&] { return std::string(kNames[c.Below(std::size(kNames))]); };
    auto stray = [&] {
        std::string name = any();
        std::string text = c.Chance(70) ? std::to_string(c.Below(1000)) : "";
        return Cat("<", name, c.Chance(30) ? " xmlns:ns=\"u\"" : "", ">", text, "</", name, ">\n");
    };
    std::string d = "<orv-standard-file>\n";
    for (int r = c.Below(4); r > 0; --r) {
        bool wrapped = c.Chance(40);
        if (wrapped) d += "<group>\n";
        if (c.Chance(40)) d += stray();
        d += Cat("<zelrecord>\n<nomvar>R", std::to_string(r), "</nomvar>\n");
        if (c.Chance(40)) d += c.Chance(50) ? "<typvar/>\n" : stray();
        d += "<datyp>1</datyp>\n<zeldata>\n";
        if (c.Chance(30)) d += Cat("<note>", std::to_string(c.Below(9)), "<ip2>7</ip2></note>\n");
        d += Cat("<values>", std::to_string(c.Below(100)), " 2.5</values>\n</zeldata>\n</zelrecord>\n");
        if (wrapped) d += "</group>\n";
    }
    return d + "</orv-standard-file>\n";
}

void ElementsOutOfPlace(Choices& c) {
    std::string d = OutOfPlace(c), f;
    FormatResult formatted = zeltest::Format(ReadFromMemory(d), f);
    if (formatted.outcome != FormatResult::written) return;  // an integer field with no integer
    std::vector<Texts::Element> written = ElementTexts(f), read = ElementTexts(d);
    for (auto element = read.begin(); element != read.end(); ++element) {
        // A field given again in its record counts once, the last time.
        bool replaced = std::any_of(element + 1, read.end(), [&](const Texts::Element& later) {
            return later.names == element->names;
        });
        bool carried = std::any_of(written.begin(), written.end(), [&](const Texts::Element& w) {
            return w.names.back() == element->names.back() && w.text == element->text;
        });
        bool named = std::any_of(element->names.begin(), element->names.end(), [&](const std::string& name) {
            return formatted.warnings.find(Cat("<", name, ">")) != std::string::npos;
        });
        if (!carried && !named && !replaced)
            Broken(d, "a text zelfmt leaves out is named in a warning",
                   Cat(element->names.back(), " ", element->text), Cat(formatted.warnings, "\n", f));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Choices choices(data, size);
    if (choices.Below(2) == 0)
        RecordSetInAStyle(choices);
    else
        ElementsOutOfPlace(choices);
    return 0;
}
