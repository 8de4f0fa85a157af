// SPDX-License-Identifier: MIT
// The values of a record, read as they stream in (whole and in pieces),
// must equal a plain reading: collect the whole text by the reading rules,
// split it at blanks, tabs and line feeds, and convert each token with the
// C library (sscanf "%f", strtol saturated to 32 bits); and the report's
// statistics, kept while reading, must equal those of the values taken one
// by one. The first input byte picks the data type, the rest is the values
// text.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "support/oracles.h"

namespace {

// ---- The plain reading ----------------------------------------------

// Collects the values text starting on the ">" of the opening tag at
// `gt`: a line break goes on only before a blank (or a "-" after a line
// feed), a ">" is dropped and the byte after it kept as it is, and the
// text stops at "<" or the end. Sets `stop` to where the reading stopped.
std::string CollectText(std::string_view doc, std::size_t gt, std::size_t& stop) {
    std::size_t i = gt;
    auto next = [&]() -> int { return ++i < doc.size() ? static_cast<unsigned char>(doc[i]) : -1; };
    int c = '>';
    std::string text;
    for (;;) {
        if (c == -1 || c == '<') break;
        if (c == '\r') {
            c = next();
            if (c != '\n' && c != ' ') break;
        }
        if (c == '\n') {
            c = next();
            if (c != ' ' && c != '-') break;
        }
        if (c == '>') {
            c = next();
            if (c == -1 || (c == '<' && text.empty())) break;
        }
        text += static_cast<char>(c);
        c = next();
    }
    stop = i;
    return text;
}

// A record's arrays, floats as bits so NaNs compare.
struct Arrays {
    bool has_float = false, has_int = false;
    std::vector<std::uint32_t> floats;
    std::vector<std::int32_t> ints;
    bool operator==(const Arrays&) const = default;
    std::string Show() const {
        std::string s = has_float ? "floats" : "no floats";
        for (std::uint32_t bits : floats) s.append(" ").append(std::to_string(bits));
        s += has_int ? "; ints" : "; no ints";
        for (std::int32_t value : ints) s.append(" ").append(std::to_string(value));
        return s;
    }
};

Arrays PlainReading(const std::string& collected, int datyp) {
    Arrays arrays;
    std::string text(collected.c_str());  // a zero byte ends the text
    if (text.empty()) return arrays;      // an empty text stores nothing
    arrays.has_float = datyp == 1 || datyp == 5;
    arrays.has_int = datyp == 2;
    for (char* token = std::strtok(text.data(), " \t\n"); token; token = std::strtok(nullptr, " \t\n")) {
        if (arrays.has_float) {
            float value = zeltest::ScanfFloat(token);
            std::memcpy(&arrays.floats.emplace_back(), &value, sizeof value);
        }
        if (arrays.has_int) arrays.ints.push_back(zeltest::StrtolInt32(token));
    }
    return arrays;
}

// ---- The streaming reading ------------------------------------------

const std::string kOpen = "<values>", kClose = "</values>\n</zeldata>\n</zelrecord>\n";

// A record of the data type whose values text is `text`, declaring
// `count` values, so that the statistics are taken over all of them.
std::string Document(int datyp, const std::string& text, std::size_t count = 0) {
    // Appended piece by piece: GCC 12 warns wrongly on a chain of "+".
    std::string doc = "<datyp>";
    doc.append(std::to_string(datyp)).append("</datyp>\n<ni>").append(std::to_string(count));
    doc.append("</ni>\n<nj>1</nj>\n<nk>1</nk>\n").append(kOpen).append(text).append(kClose);
    return doc;
}

// Cuts or pads `text` so that its reading stops exactly on the closing
// tag: the rest of the document is then the same for both readings.
std::string Canonical(int datyp, std::string text) {
    for (int round = 0;; ++round) {
        std::string doc = Document(datyp, text);
        std::size_t start = doc.find(kOpen) + kOpen.size(), stop;
        CollectText(doc, start - 1, stop);
        if (stop == start + text.size()) return text;
        if (round == 2) zelfuzz::Fail("a text that ends on the closing tag", "", text);
        if (stop < start + text.size()) text.resize(stop - start);
        if (stop > start + text.size()) text += ' ';  // a final ">" took the closing tag's "<"
    }
}

struct Streamed {
    int records = 0;
    Arrays arrays;
    // The report as read, and as made from the record's values one by one.
    std::string report, from_values;
    zelreport::Handlers handlers;
    Streamed() {
        handlers.output = [this](std::string_view text) {
            report += text;
            return true;
        };
        handlers.on_record = [this](const zelreport::RecordView& r) {
            ++records;
            zelreport::append_report(r, from_values);
            arrays.has_float = r.has_floatdata;
            arrays.has_int = r.has_intdata;
            for (float value : r.floatdata) std::memcpy(&arrays.floats.emplace_back(), &value, sizeof value);
            arrays.ints.assign(r.intdata.begin(), r.intdata.end());
        };
    }
};

void Check(int datyp, const std::string& raw_text) {
    const std::string text = Canonical(datyp, raw_text);
    std::string doc = Document(datyp, text);
    std::size_t stop;
    const Arrays expected = PlainReading(CollectText(doc, doc.find(kOpen) + kOpen.size() - 1, stop), datyp);
    doc = Document(datyp, text, expected.floats.size());
    Streamed whole, pieces;
    zelreport::run_buffer(doc, whole.handlers);
    zelreport::run_reader(zelfuzz::Pieces(doc, static_cast<std::uint32_t>(text.size())), pieces.handlers);
    for (const Streamed* s : {&whole, &pieces}) {
        if (s->records != 1) zelfuzz::Fail("one record", "1", std::to_string(s->records));
        zelfuzz::ExpectEqual(s == &whole ? "values in memory" : "values in pieces", expected.Show(),
                             s->arrays.Show());
        // The statistics kept while reading equal those taken afterwards.
        zelfuzz::ExpectEqual("report as read", s->from_values, s->report);
    }
}

}  // namespace

// The plain reading itself, on cases worked out by hand.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    struct Case {
        std::string text;
        int datyp;
        std::string arrays;
    } cases[] = {
        {"1 2\n-3 4", 2, "no floats; ints 1 2 4"},
        {"\n 1.5 2.5\n -3.5", 1, "floats 1069547520 1075838976 3227516928; no ints"},
        {"1 2\n3 4", 2, "no floats; ints 1 2"},
        {"5>\n6", 2, "no floats; ints 5 6"},
        {std::string("7 8\0 9", 6), 5, "floats 1088421888 1090519040; no ints"},
        {"\r\n 1", 1, "floats 0 1065353216; no ints"},
        {"x 99999999999 -99999999999", 2, "no floats; ints 0 2147483647 -2147483648"},
        {"1 2", 3, "no floats; no ints"},
    };
    for (const Case& c : cases) {
        std::string doc = Document(c.datyp, c.text);
        std::size_t stop;
        zelfuzz::ExpectEqual(
            "plain reading of a hand-worked case", c.arrays,
            PlainReading(CollectText(doc, doc.find(kOpen) + kOpen.size() - 1, stop), c.datyp).Show());
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int datyps[] = {1, 2, 5, 0, 3};
    Check(datyps[data[0] % 5], std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    return 0;
}
