// SPDX-License-Identifier: MIT
// A scanned run against the document's run: the same records, and each
// array converted again from its place bit for bit as the run converted
// it, over the golden documents, the document fuzz corpus and the cases
// that make a record's arrays come from elsewhere than its own values
// element, whatever the input blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "run/scanned_run.h"
#include "support/blocks.h"
#include "support/run.h"

namespace {

using namespace zelreport;
using namespace std::string_literals;

// A record as the test compares it: its report without the statistics
// line stands for its fields.
struct Seen {
    std::string fields;
    bool has_floats = false, has_ints = false;
    std::string floats, ints;  // raw bytes of the arrays
    ValuesPlaces places;
};

std::string FieldsOf(const RecordView& view) {
    RecordView fields = view;
    fields.has_floatdata = fields.has_intdata = false;
    std::string text;
    append_report(fields, text);
    return text;
}

template <typename T>
std::string Bytes(std::span<const T> values) {
    return {reinterpret_cast<const char*>(values.data()), values.size_bytes()};
}

std::vector<Seen> RunWhole(const std::string& document) {
    std::vector<Seen> seen;
    Handlers handlers;
    handlers.on_record = [&seen](const RecordView& r) {
        seen.push_back(
            {FieldsOf(r), r.has_floatdata, r.has_intdata, Bytes(r.floatdata), Bytes(r.intdata), {}});
    };
    EXPECT_EQ(run_buffer(document, handlers).status, Status::ok);
    return seen;
}

std::vector<Seen> Scan(const std::string& document, std::size_t block) {
    std::vector<Seen> seen;
    ScanObserver observer = [&seen](const RecordView& r, const ValuesPlaces& places) {
        EXPECT_TRUE(r.floatdata.empty() && r.intdata.empty());
        seen.push_back({FieldsOf(r), r.has_floatdata, r.has_intdata, {}, {}, places});
    };
    Result result = block ? run_reader_scanned(zeltest::InBlocksOf(document, block), {}, observer)
                          : run_buffer_scanned(document, {}, observer);
    EXPECT_EQ(result.status, Status::ok);
    return seen;
}

// The array of `kind` converted again from `place`, in blocks of `block`,
// by `converter` (which converts one text after another) or by a converter
// of its own.
std::string Convert(const std::string& document, const ValuesPlace& place, DataKind kind, std::size_t block,
                    ValuesConverter* converter = nullptr) {
    EXPECT_LE(place.start, place.stop);
    EXPECT_LE(place.stop, document.size());
    std::string text = document.substr(place.start, place.stop - place.start);
    RecordValues values;
    Result result = converter ? converter->Convert(zeltest::InBlocksOf(text, block), kind, values)
                              : convert_values(zeltest::InBlocksOf(text, block), kind, values);
    EXPECT_EQ(result.status, Status::ok);
    EXPECT_EQ(kind == DataKind::floats ? values.floatdata.size() : values.intdata.size(), place.count);
    return kind == DataKind::floats ? Bytes(values.floatdata.span()) : Bytes(values.intdata.span());
}

// Returns the entries of every array of every record.
std::size_t ExpectScanMatchesRun(const std::string& document, const std::string& name) {
    SCOPED_TRACE(name);
    std::vector<Seen> whole = RunWhole(document);
    std::size_t entries = 0;
    std::vector<Seen> scanned = Scan(document, 0);
    EXPECT_EQ(scanned.size(), whole.size());
    if (scanned.size() != whole.size()) return 0;
    for (std::size_t block : {1, 7, 4096}) {
        std::vector<Seen> pieces = Scan(document, block);
        EXPECT_EQ(pieces.size(), whole.size()) << "blocks of " << block;
        if (pieces.size() != whole.size()) return 0;
        for (std::size_t r = 0; r < pieces.size(); ++r) {
            EXPECT_EQ(std::memcmp(&pieces[r].places, &scanned[r].places, sizeof(ValuesPlaces)), 0)
                << "record " << r + 1 << " in blocks of " << block;
        }
    }
    ValuesConverter converter;
    for (std::size_t r = 0; r < whole.size(); ++r) {
        SCOPED_TRACE("record " + std::to_string(r + 1));
        const Seen &run = whole[r], &scan = scanned[r];
        entries += run.floats.size() / sizeof(float) + run.ints.size() / sizeof(std::int32_t);
        EXPECT_EQ(scan.fields, run.fields);
        EXPECT_EQ(scan.has_floats, run.has_floats);
        EXPECT_EQ(scan.has_ints, run.has_ints);
        if (scan.has_floats != run.has_floats || scan.has_ints != run.has_ints) continue;
        for (std::size_t block : {std::size_t{3}, std::size_t{1} << 20}) {
            ValuesConverter* reused = block == 3 ? nullptr : &converter;
            if (run.has_floats) {
                EXPECT_EQ(Convert(document, scan.places.floats, DataKind::floats, block, reused), run.floats);
            }
            if (run.has_ints) {
                EXPECT_EQ(Convert(document, scan.places.ints, DataKind::ints, block, reused), run.ints);
            }
        }
    }
    return entries;
}

std::string Record(const std::string& body) {
    return "<zelrecord>\n" + body + "</zelrecord>\n";
}

// Values that come from elsewhere than the record's own values element, or
// that only the reading rules tell apart.
TEST(ScannedRun, ConvertsEveryArrayAgainFromItsPlace) {
    const std::string end = "</zeldata>\n";
    std::string long_run;  // long enough to be converted on two threads
    for (int i = 0; i < 60000; ++i) long_run += std::to_string(i * 7 % 1000) + (i % 9 ? ".25 " : "\n ");
    // Each case with the entries of all its arrays, as worked out by hand.
    const struct {
        const char* name;
        std::string document;
        std::size_t entries;
    } cases[] = {
        {"sample", zeltest::Sample(), 10},
        // The first text of the second record is read with the datyp of
        // the first; its record ends holding both arrays.
        {"datyp after the values",
         Record("<datyp>2</datyp>\n<zeldata>\n<values>1 2</values>\n" + end) +
             Record("<values>1.5 2.5</values>\n<datyp>1</datyp>\n<zeldata>\n<values>7.5</values>\n" + end),
         5},
        // The first record's end is not seen: its array goes on to the second.
        {"carried over from an unreported record",
         "<zelrecord>\n<datyp>1</datyp>\n<zeldata>\n<values>4 5 6\n</values>\n</zelrecord>\n" +
             Record("<nomvar>B</nomvar>\n<ip1>5</ip1>\n" + end),
         3},
        {"several values elements and both arrays",
         Record(
             "<datyp>1</datyp>\n<zeldata>\n<values>1 2</values>\n<values>3 4 5</values>\n<datyp>2</datyp>\n"
             "<values>7 8</values>\n" +
             end),
         5},
        // 1, 2-3, 4, 5, 6, 7, 8 and 9-1e3.
        {"continuations, minus lines, '>' and carriage returns",
         Record("<datyp>5</datyp>\n<zeldata>\n<values>1 2\n-3 4\n 5\r\n 6\r 7 >8 \t9\r\n-1e3</values>\n" +
                end),
         8},
        // A zero byte ends the text; a text that begins with one is empty.
        {"zero bytes and control bytes",
         Record("<datyp>1</datyp>\n<zeldata>\n<values>1\x01 2 \x0b 3\0 4</values>\n"s + end) +
             Record("<zeldata>\n<values>\0 9</values>\n"s + end),
         4},
        // The name is "values" up to its zero byte, cut at 200 bytes: the
        // text begins on the byte after the cut, not on a ">".
        {"a text after a cut name",
         Record("<datyp>1</datyp>\n<values\0"s + std::string(193, 'y') + " 1 2 3</values>\n" + end), 3},
        {"long run", Record("<datyp>1</datyp>\n<zeldata>\n<values>" + long_run + "</values>\n" + end), 60000},
        {"long integer run", Record("<datyp>2</datyp>\n<zeldata>\n<values>" + long_run + "</values>\n" + end),
         60000},
        {"document ending in the values", Record("") + "<datyp>1</datyp>\n<values>1 2\n 3", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpectScanMatchesRun(c.document, c.name), c.entries) << c.name;
}

TEST(ScannedRun, GoldenDocumentsAndFuzzCorpus) {
    std::vector<std::filesystem::path> paths;
    for (const auto& dir : {std::filesystem::path(TESTS_DIR) / "golden",
                            std::filesystem::path(FUZZ_DIR) / "corpus" / "document"})
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
            if (entry.is_regular_file() &&
                (entry.path().extension() == ".xml" || dir.filename() == "document"))
                paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    ASSERT_GT(paths.size(), 400u);
    for (const auto& path : paths) ExpectScanMatchesRun(zeltest::ReadFile(path.string()), path.string());
}

}  // namespace
