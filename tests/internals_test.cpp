// SPDX-License-Identifier: MIT
// Pieces of the library that no document reaches in every case: the
// keyword table's index when names share their first eight bytes, the
// value arrays as they grow into mappings of their own and are emptied,
// where a record's values were read from, whatever the input blocks, the
// policy that decides whether long runs are cut in two, and the running
// statistics of a stretch taken four entries at a time.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "elements/split_policy.h"
#include "keywords/keywords.h"
#include "record/data_array.h"
#include "record/running_stats.h"
#include "run/observed_run.h"
#include "support/blocks.h"

namespace {

using namespace zelreport;

void HandlerA(Context&, std::string_view) {}
void HandlerB(Context&, std::string_view) {}

TEST(KeywordTable, LookupFindsExactlyTheInstalledNames) {
    KeywordTable table;
    // The first eight bytes alike: these share the index's slot and are
    // told apart along the hash chain; "ni" and "NI" share a bucket.
    const std::vector<std::string> names = {
        "zelrecord", "zelrecorx", "abcdefgh1",         "abcdefgh2",
        "ni",        "NI",        "orv-standard-file", "orv-standard-filf"};
    for (std::size_t i = 0; i < names.size(); ++i)
        table.install(names[i].c_str(), i % 2 ? HandlerA : HandlerB);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const KeywordEntry* entry = table.lookup(names[i]);
        ASSERT_NE(entry, nullptr) << names[i];
        EXPECT_EQ(entry->name, names[i]);
        EXPECT_EQ(entry->handler, i % 2 ? &HandlerA : &HandlerB) << names[i];
    }
    for (const char* name : {"zelrecor", "zelrecordd", "abcdefgh", "abcdefgh3", "Ni", "n", "",
                             "orv-standard-fil", "orv-standard-file2", "zelrecord\xff"})
        EXPECT_EQ(table.lookup(name), nullptr) << name;
    // Installing again keeps the entry and its place, and changes the handler.
    const KeywordEntry* before = table.lookup("ni");
    EXPECT_EQ(table.install("ni", HandlerA), before);
    EXPECT_EQ(table.lookup("ni")->handler, &HandlerA);
    EXPECT_EQ(table.bucket(hash("ni"))->name, std::string("NI"));  // new entries go first
}

TEST(DataArray, GrowsIntoItsOwnMappingKeepingTheValues) {
    DataArray<float> data;
    constexpr int kCount = 5 << 20;  // 20 MiB: mapped, remapped, and freed when emptied
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < kCount; ++i) data.push_back(static_cast<float>(i + round));
        ASSERT_EQ(data.size(), static_cast<std::size_t>(kCount));
        for (int i = 0; i < kCount; i += 4099) ASSERT_EQ(data[i], static_cast<float>(i + round)) << i;
        EXPECT_EQ(data.back(), static_cast<float>(kCount - 1 + round));
        data.Release();
        EXPECT_TRUE(data.empty());
    }
}

// A stretch added at once leaves the same minimum, maximum and sum, bit for
// bit, as its entries added one by one: the first of equal extremes is
// kept, so a zero keeps the sign of the first one met whichever lane it
// falls in, and NaNs never replace one.
TEST(RunningStats, AStretchAtOnceEqualsOneByOne) {
    const float nan = std::nanf(""), inf = INFINITY;
    std::vector<std::vector<float>> stretches = {
        {},
        {1, 2, 3},
        {0.0f, 1, 2, -0.0f, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17},
        {-0.0f, 1, 0.0f, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, -0.0f},
        {3, 1, 2, 0.0f, -1, -1, 2, 2, 9, 9, -0.0f, -1, 9, 9, 9, 9},
        {nan, 5, -5, 7, nan, nan, nan, nan, -7, 7, 1, 1, 1, 1, 1, 1, 0.5f},
        {nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan, nan},
        {inf, inf, -inf, inf, 1e38f, 1e38f, 1e38f, 1e38f, 1e38f, 1e38f, 1e38f, 1e38f, 2, 2, 2, 2, 2},
    };
    // Both signs of zero with the extreme on either side of them.
    for (float zero : {0.0f, -0.0f})
        for (float other : {1.0f, -1.0f}) {
            std::vector<float> mixed(37, other);
            mixed[13] = zero, mixed[22] = -zero, mixed[30] = zero;
            stretches.push_back(mixed);
        }
    auto bits = [](const RunningStats& s) {
        return std::vector<std::uint32_t>{std::bit_cast<std::uint32_t>(s.min),
                                          std::bit_cast<std::uint32_t>(s.max),
                                          std::bit_cast<std::uint32_t>(s.sum)};
    };
    for (RunningStats start : {RunningStats{}, RunningStats{0.0f, -0.0f, 1}, RunningStats{-0.0f, 0.0f, 1}}) {
        for (const std::vector<float>& stretch : stretches) {
            RunningStats one_by_one = start, at_once = start;
            for (float entry : stretch) one_by_one.Add(entry);
            at_once.AddAll(stretch.data(), stretch.data() + stretch.size());
            EXPECT_EQ(bits(at_once), bits(one_by_one)) << "stretch of " << stretch.size();
        }
    }
}

// A values text is plain when the XML white space between its bytes splits
// them into the tokens zelreport reads: its origin then places it between
// the opening tag's ">" and the "<" that ends it.
TEST(ValuesOrigin, PlacesAPlainTextWhateverTheBlocks) {
    const struct {
        const char* element;
        bool plain;
    } cases[] = {
        {"<values>1 2\t3</values>", true},
        {"<values>1\n 2\n</values>", true},  // a line feed that ends the text leaves it whole
        {"<values>\n1 2</values>", true},
        {"<values>   </values>", true},
        {"<values>1\n-2</values>", false},  // the "-" line joins two numbers
        {"<values>1\r\n 2</values>", false},
        {"<values>1\r2</values>", false},
        {"<values>\r1</values>", false},
        {"<values>1>2</values>", false},
        {"<values unit=\"K\">1</values>", false},
        {"<values>1\n2</values>", false},  // the text ends at the line feed, before the "<"
    };
    const std::string head = "<datyp>1</datyp>\n";
    for (const auto& c : cases) {
        std::string element = c.element, document = head + element + "\n</zeldata>\n</zelrecord>\n";
        for (std::size_t step : {1, 2, 3, 7, 13, 1 << 20}) {
            ValuesOrigin origin;
            RecordObserver observer = [&origin](const RecordView&, const ValuesOrigin& o) { origin = o; };
            run_reader_observed(zeltest::InBlocksOf(document, step), {}, &observer);
            EXPECT_EQ(origin.plain, c.plain) << element << " in blocks of " << step;
            if (!c.plain) continue;
            EXPECT_EQ(origin.kind, DataKind::floats) << element;
            EXPECT_EQ(origin.tag_end, head.size() + element.find('>')) << element;
            EXPECT_EQ(origin.text_end, head.size() + element.find("</values>")) << element;
        }
    }
}

}  // namespace

// Where a processor is spare, long runs are cut in two and not, in turn,
// until the faster way per byte is known (each way by its best run, so that
// a run slowed once, by the array's growth say, does not decide); the way is
// kept for many runs, then measured again, and the host asked again. Where
// none is spare, nothing is cut until then.
TEST(SplitPolicy, KeepsTheFasterWayThenMeasuresAgain) {
    struct Case {
        bool spare;
        double first_cut_seconds, cut_seconds;  // a run not cut takes 1
        bool keeps_cutting;
    } cases[] = {{true, 0.5, 0.5, true},
                 {true, 2.0, 2.0, false},
                 {true, 1.05, 1.05, false},
                 {true, 5.0, 0.9, true},
                 {false, 0.5, 0.5, false}};
    for (const Case& c : cases) {
        zelreport::SplitPolicy policy;
        int runs = 0, cut = 0, asked = 0;
        auto run = [&] {
            bool split = policy.Split([&] { return ++asked, c.spare; });
            policy.Record(1000, !split ? 1.0 : cut == 0 ? c.first_cut_seconds : c.cut_seconds);
            cut += split;
            ++runs;
        };
        while (runs < 8) run();
        EXPECT_EQ(cut, c.spare ? 4 : 0);
        cut = 0;
        for (int i = 0; i < 100; ++i) run();
        EXPECT_EQ(cut, c.keeps_cutting ? 100 : 0);
        EXPECT_EQ(asked, 1);
        // Some hundreds of runs later the host is asked again.
        while (asked == 1 && runs < 1000) run();
        EXPECT_EQ(asked, 2) << runs;
    }
}
