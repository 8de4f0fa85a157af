// SPDX-License-Identifier: MIT
// The library API: the same document through memory, a descriptor and a
// stream; records as views; failures returned, never exits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <vector>

#include "support/run.h"
#include "zelreport/zelreport.h"

namespace {

using namespace zelreport;

struct Collected {
    std::string out;
    std::vector<std::vector<float>> floats;
    std::vector<std::vector<std::int32_t>> ints;
    std::vector<std::string> nomvars;
    Handlers handlers;

    Collected() {
        handlers.output = [this](std::string_view text) {
            out += text;
            return true;
        };
        handlers.on_record = [this](const RecordView& r) {
            floats.emplace_back(r.floatdata.begin(), r.floatdata.end());
            ints.emplace_back(r.intdata.begin(), r.intdata.end());
            nomvars.push_back(r.nomvar ? *r.nomvar : "(none)");
        };
    }
};

std::string Record(const std::string& datyp, const std::string& values) {
    return "<zelrecord>\n<nomvar>V" + datyp + "</nomvar>\n<datyp>" + datyp + "</datyp>\n<zeldata>\n<values>" +
           values + "</values>\n</zeldata>\n</zelrecord>\n";
}

TEST(Api, RecordsCarryTheConvertedValues) {
    Collected c;
    std::string doc = Record("2", "1 2\n-3 4 +5 x 99999999999 -99999999999 7.9") +
                      Record("5", "0.5 +1e1 x -2") + Record("3", "1 2 3");
    EXPECT_EQ(run_buffer(doc, c.handlers).status, Status::ok);
    ASSERT_EQ(c.ints.size(), 3u);
    EXPECT_EQ(c.ints[0], (std::vector<std::int32_t>{1, 2, 4, 5, 0, INT_MAX, INT_MIN, 7}));
    EXPECT_EQ(c.floats[1], (std::vector<float>{0.5f, 10.0f, 0.0f, -2.0f}));
    EXPECT_TRUE(c.floats[2].empty());
    EXPECT_TRUE(c.ints[2].empty());
    EXPECT_EQ(c.nomvars, (std::vector<std::string>{"V2", "V5", "V3"}));
}

TEST(Api, MemoryDescriptorAndStreamGiveTheSameReport) {
    std::string doc = zeltest::ReadFile(EXAMPLES_DIR "/sample.xml");
    Collected memory, descriptor, stream;
    ASSERT_EQ(run_buffer(doc, memory.handlers).status, Status::ok);

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], doc.data(), doc.size()), static_cast<ssize_t>(doc.size()));
    close(fds[1]);
    EXPECT_EQ(run_fd(fds[0], descriptor.handlers).status, Status::ok);
    close(fds[0]);

    std::FILE* file = std::fopen(EXAMPLES_DIR "/sample.xml", "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(run_file(file, stream.handlers).status, Status::ok);
    std::fclose(file);

    EXPECT_FALSE(memory.out.empty());
    EXPECT_EQ(descriptor.out, memory.out);
    EXPECT_EQ(stream.out, memory.out);
    // Each run starts afresh: no state is left from the one before.
    Collected again;
    run_buffer(doc, again.handlers);
    EXPECT_EQ(again.out, memory.out);
}

TEST(Api, AppendReportGivesTheReportOfTheView) {
    std::string doc = zeltest::ReadFile(EXAMPLES_DIR "/sample.xml");
    Collected c;
    std::string rebuilt;
    c.handlers.on_record = [&rebuilt](const RecordView& r) { append_report(r, rebuilt); };
    run_buffer(doc, c.handlers);
    EXPECT_EQ(rebuilt, c.out);
}

TEST(Api, FailuresAreReturned) {
    Handlers refusing;
    refusing.output = [](std::string_view) { return false; };
    int calls = 0;
    refusing.on_record = [&calls](const RecordView&) { ++calls; };
    std::string two = "<zelrecord>\n</zelrecord>\n<zelrecord>\n</zelrecord>\n";
    EXPECT_EQ(run_buffer(two, refusing).status, Status::write_error);
    EXPECT_EQ(calls, 2);  // in memory, the output is tried once, at the end

    Handlers quiet;
    EXPECT_EQ(run_fd(-1, quiet).status, Status::read_error);
    EXPECT_EQ(run_fd(-1, quiet).error, EBADF);
    // No output handler: the report is dropped, the run still succeeds.
    EXPECT_EQ(run_buffer(two, quiet).status, Status::ok);
}

// Text elements are cut at 8,192,000 bytes; the rest is read as names.
TEST(Limits, TextElementsAreCutAt8192000Bytes) {
    const std::size_t limit = 8192000;
    Collected c;
    std::string doc = "<zelrecord>\n<nomvar>" + std::string(limit + 1, 'A') + "</nomvar>\n<etiket>" +
                      std::string(limit, 'E') + "</etiket>\n<zeldata>\n</zelrecord>\n";
    EXPECT_EQ(run_buffer(doc, c.handlers).status, Status::ok);
    ASSERT_EQ(c.nomvars.size(), 1u);
    EXPECT_EQ(c.nomvars[0], std::string(limit, 'A'));
    // The one byte past the cut is a one-byte name: one message, first.
    std::string message = "ParseConfigFile(), found name is empty \n";
    EXPECT_EQ(c.out.substr(0, message.size()), message);
    EXPECT_EQ(c.out.find(message, 1), std::string::npos);
    EXPECT_NE(c.out.find("etiket = " + std::string(limit, 'E') + "\n"), std::string::npos);
}

// A values text is read whole, however long.
TEST(Limits, LongValuesTextIsReadWhole) {
    const int count = 700000;  // 2.8 MB of text
    std::string values;
    for (int i = 0; i < count; ++i) values += (i % 10 == 9) ? "1.5\n " : "1.5 ";
    values += "9";
    Collected c;
    std::string doc = "<zelrecord>\n<ni>" + std::to_string(count + 1) + "</ni>\n<nj>1</nj>\n<nk>1</nk>\n" +
                      "<datyp>1</datyp>\n<zeldata>\n<values>" + values +
                      "</values>\n</zeldata>\n</zelrecord>\n";
    EXPECT_EQ(run_buffer(doc, c.handlers).status, Status::ok);
    ASSERT_EQ(c.floats.size(), 1u);
    ASSERT_EQ(c.floats[0].size(), static_cast<std::size_t>(count + 1));
    EXPECT_EQ(c.floats[0].back(), 9.0f);
    EXPECT_EQ(c.out.find("ParseConfigFile()"), std::string::npos);
    // 700000 * 1.5 + 9 stays exact in single precision: avg 1050009 / 700001.
    EXPECT_NE(c.out.find("--- min: 1.500000 max: 9.000000 avg: 1.500011   ---"), std::string::npos) << c.out;
}

}  // namespace
