// SPDX-License-Identifier: MIT
// The library: converted values as the records' views show them and as a
// handler takes them, the same report through every entry, failures
// returned (a read callback's impossible count among them), the text
// limit, the output handed on before each read, documents cut at every
// byte, and records read by plan as any other.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "support/blocks.h"
#include "support/run.h"
#include "zelreport/zelreport.h"

namespace {

using namespace zelreport;
using zeltest::SampleReport;

struct Collected {
    std::string out;
    std::vector<std::vector<float>> floats;
    std::vector<std::vector<std::int32_t>> ints;
    std::vector<std::string> nomvars;
    Handlers handlers;

    Collected() {
        handlers.output = [this](std::string_view text) { return out.append(text), true; };
        handlers.on_record = [this](const RecordView& r) {
            floats.emplace_back(r.floatdata.begin(), r.floatdata.end());
            ints.emplace_back(r.intdata.begin(), r.intdata.end());
            nomvars.push_back(r.nomvar ? *r.nomvar : "(none)");
        };
    }
};

std::string Record(int datyp, const std::string& values) {
    return "<zelrecord>\n<datyp>" + std::to_string(datyp) + "</datyp>\n<zeldata>\n<values>" + values +
           "</values>\n</zeldata>\n</zelrecord>\n";
}

// Integer values do not show in the report, only in the view.
TEST(Api, ViewsCarryTheConvertedValues) {
    struct Case {
        int datyp;
        std::string values;
        std::vector<std::int32_t> ints;
        std::vector<float> floats;
    } cases[] = {
        {2, "1 2\n-3 4 +5 x 7.9 -0", {1, 2, 4, 5, 0, 7, 0}, {}},
        {2,
         "999999999 2147483647 2147483648 4294967297 -2147483648 -2147483649 99999999999",
         {999999999, INT_MAX, INT_MAX, INT_MAX, INT_MIN, INT_MIN, INT_MAX},
         {}},
        {2, "1\n-2\n -3\r\n-4 5\r 6", {1, -3, 5, 6}, {}},
        {5, "0.5 +1e1 x -2 1\n-2 3 \n-4", {}, {0.5f, 10.0f, 0.0f, -2.0f, 1.0f, 3.0f, -4.0f}},
        {3, "1 2 3", {}, {}},
    };
    for (const Case& c : cases) {
        Collected got;
        EXPECT_EQ(run_buffer(Record(c.datyp, c.values), got.handlers).status, Status::ok);
        ASSERT_EQ(got.ints.size(), 1u) << c.values;
        EXPECT_EQ(got.ints[0], c.ints) << c.values;
        EXPECT_EQ(got.floats[0], c.floats) << c.values;
    }
}

TEST(Api, EveryEntryGivesTheSameReport) {
    const std::string doc = zeltest::Sample();
    Collected memory, descriptor, stream, reader, rebuilt;
    EXPECT_EQ(run_buffer(doc, memory.handlers).status, Status::ok);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], doc.data(), doc.size()), static_cast<ssize_t>(doc.size()));
    close(fds[1]);
    EXPECT_EQ(run_fd(fds[0], descriptor.handlers).status, Status::ok);
    close(fds[0]);
    std::FILE* file = std::fopen(EXAMPLES_DIR "/sample.xml", "rb");
    EXPECT_EQ(run_file(file, stream.handlers).status, Status::ok);
    std::fclose(file);
    EXPECT_EQ(run_reader(zeltest::InBlocksOf(doc, doc.size()), reader.handlers).status, Status::ok);
    rebuilt.handlers.output = {};
    rebuilt.handlers.on_record = [&rebuilt](const RecordView& r) { append_report(r, rebuilt.out); };
    run_buffer(doc, rebuilt.handlers);
    for (const Collected* c : {&memory, &descriptor, &stream, &reader, &rebuilt})
        EXPECT_EQ(c->out, SampleReport());
}

// Reports are handed on before the reader waits for more input, so a
// producer that pauses sees every record it has finished.
TEST(Api, OutputIsHandedOnBeforeEachRead) {
    const std::string doc = zeltest::Sample();
    const std::size_t second = doc.find("<zelrecord>", doc.find("</zelrecord>"));
    Collected c;
    std::vector<std::string> seen;
    auto sizes = [&, reads = 0]() mutable { return seen.push_back(c.out), reads++ ? doc.size() : second; };
    run_reader(zeltest::InDrawnBlocks(doc, sizes), c.handlers);
    EXPECT_EQ(seen, (std::vector<std::string>{"", SampleReport(0), SampleReport()}));
}

// The output gets whole reports only, gathered to 64 KiB or more but for
// the last.
TEST(Api, OutputIsWholeReports) {
    std::string doc;
    for (int i = 0; i < 300; ++i) doc += zeltest::Sample();
    std::vector<std::string> chunks;
    Handlers handlers;
    handlers.output = [&chunks](std::string_view text) { return chunks.emplace_back(text), true; };
    run_buffer(doc, handlers);
    ASSERT_GT(chunks.size(), 1u);
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        EXPECT_TRUE(chunks[i].ends_with(" *********************\n") || chunks[i].ends_with("---\n\n\n")) << i;
        if (i + 1 < chunks.size()) {
            EXPECT_GE(chunks[i].size(), 64u * 1024) << i;
        }
    }
}

TEST(Api, FailuresAreReturned) {
    Handlers refusing;
    refusing.output = [](std::string_view) { return false; };
    EXPECT_EQ(run_buffer(zeltest::Sample(), refusing).status, Status::write_error);
    EXPECT_EQ(run_fd(-1, Handlers{}).error, EBADF);
    // No output handler: the report is dropped and the run succeeds.
    EXPECT_EQ(run_buffer(zeltest::Sample(), Handlers{}).status, Status::ok);
    // A read error ends the run; what was reported before it stands.
    Collected c;
    const std::string doc = zeltest::Sample();
    bool given = false;
    Result result = run_reader(
        [&](char* buffer, std::size_t) -> long {
            if (given) return errno = EIO, -1;
            given = true;
            std::memcpy(buffer, doc.data(), doc.size() - 30);
            return static_cast<long>(doc.size() - 30);
        },
        c.handlers);
    EXPECT_EQ(result.status, Status::read_error);
    EXPECT_EQ(result.error, EIO);
    EXPECT_EQ(c.out, SampleReport(0));
}

// A count that no read into the block can give ends the run before any of
// that block is read: past the capacity, or below -1.
TEST(Api, ImpossibleReadCountsEndTheRun) {
    const std::string doc = zeltest::Sample();
    const std::size_t first = doc.find("<zelrecord>", doc.find("</zelrecord>"));
    const std::function<long(std::size_t)> counts[] = {
        [](std::size_t capacity) { return static_cast<long>(capacity) + 1; },
        [](std::size_t) { return -2L; },
        [](std::size_t) { return LONG_MIN; },
    };
    for (const auto& count : counts) {
        Collected c;
        bool given = false;
        Result result = run_reader(
            [&](char* buffer, std::size_t capacity) -> long {
                if (given) return count(capacity);
                given = true;
                std::memcpy(buffer, doc.data(), first);
                return static_cast<long>(first);
            },
            c.handlers);
        EXPECT_EQ(result.status, Status::read_error);
        EXPECT_EQ(result.error, EINVAL);
        EXPECT_EQ(c.out, SampleReport(0));
    }
}

// A handler may keep a record's values: they outlive the run, the same as
// the view showed, a large array without a copy, and the report is the same.
TEST(Api, TakenValuesOutliveTheRun) {
    std::string values, fewer;
    for (int i = 0; i < 300000; ++i) values += std::to_string(i % 1000) + " ";
    // Mapped too, but under a megabyte: copied.
    for (int i = 0; i < 50000; ++i) fewer += std::to_string(i % 997) + " ";
    const std::string doc = Record(1, values) + Record(1, fewer) + Record(2, "4 5");
    Collected viewed, taking;
    ASSERT_EQ(run_buffer(doc, viewed.handlers).status, Status::ok);
    std::vector<RecordValues> kept;
    taking.handlers.on_record = {};
    taking.handlers.on_record_values = [&](const RecordView& view, RecordValues&& taken) {
        // A megabyte or more without a copy.
        bool large = view.floatdata.size() == 300000;
        EXPECT_EQ(taken.floatdata.span().data() == view.floatdata.data(), large) << view.floatdata.size();
        kept.push_back(std::move(taken));
    };
    ASSERT_EQ(run_buffer(doc, taking.handlers).status, Status::ok);
    EXPECT_EQ(taking.out, viewed.out);
    ASSERT_EQ(kept.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(std::ranges::equal(kept[i].floatdata.span(), viewed.floats[i])) << i;
        EXPECT_TRUE(std::ranges::equal(kept[i].intdata.span(), viewed.ints[i])) << i;
    }
}

// Whatever a handler or the read callback throws stops the run with a
// result, never an exception into the caller, and the whole reports made
// before it are still handed on.
TEST(Api, ThrownErrorsComeBackAsResults) {
    struct Case {
        std::function<void()> raise;
        Result expected;
    };
    const Case cases[] = {
        {[] { throw std::bad_alloc(); }, {Status::out_of_memory, ENOMEM}},
        {[] { throw std::system_error(EAGAIN, std::generic_category()); }, {Status::exception, EAGAIN}},
        {[] { throw std::runtime_error("handler"); }, {Status::exception, 0}},
        {[] { throw 42; }, {Status::exception, 0}},
    };
    const std::string doc = zeltest::Sample();
    for (const Case& c : cases) {
        // Thrown by the record handler at the second record.
        Collected collected;
        int records = 0;
        collected.handlers.on_record = [&](const RecordView&) {
            if (++records == 2) c.raise();
        };
        Result result = run_buffer(doc, collected.handlers);
        EXPECT_EQ(result.status, c.expected.status);
        EXPECT_EQ(result.error, c.expected.error);
        EXPECT_EQ(collected.out, SampleReport(0));
        // Thrown by the read callback once the first record is in.
        Collected reading;
        bool given = false;
        result = run_reader(
            [&](char* buffer, std::size_t) -> long {
                if (given) c.raise();
                given = true;
                std::size_t first = doc.find("<zelrecord>", doc.find("</zelrecord>"));
                std::memcpy(buffer, doc.data(), first);
                return static_cast<long>(first);
            },
            reading.handlers);
        EXPECT_EQ(result.status, c.expected.status);
        EXPECT_EQ(reading.out, SampleReport(0));
    }
}

// Text elements are cut at 8,192,000 bytes; the rest is read as names.
TEST(Api, TextElementsAreCutAt8192000Bytes) {
    const std::size_t limit = 8192000;
    Collected c;
    std::string doc = "<zelrecord>\n<nomvar>" + std::string(limit + 1, 'A') + "</nomvar>\n<etiket>" +
                      std::string(limit, 'E') + "</etiket>\n<zeldata>\n</zelrecord>\n";
    EXPECT_EQ(run_buffer(doc, c.handlers).status, Status::ok);
    ASSERT_EQ(c.nomvars, std::vector<std::string>{std::string(limit, 'A')});
    // The one byte past the cut is a one-byte name: one message, first.
    const std::string message = "ParseConfigFile(), found name is empty \n";
    EXPECT_EQ(c.out.find(message), 0u);
    EXPECT_EQ(c.out.find(message, 1), std::string::npos);
    EXPECT_NE(c.out.find("etiket = " + std::string(limit, 'E') + "\n"), std::string::npos);
}

// Cut at every byte: a record is reported once its closing tag's name is
// complete and never before, no report is written in part, and nothing
// but empty-name messages follows the reports.
TEST(Api, SampleCutAtEveryByte) {
    const std::string sample = zeltest::Sample(), message = "ParseConfigFile(), found name is empty \n";
    const std::size_t first_end = sample.find("</zelrecord>") + 11,
                      second_end = sample.rfind("</zelrecord>") + 11;
    for (std::size_t cut = 0; cut <= sample.size(); ++cut) {
        Collected c;
        ASSERT_EQ(run_buffer(sample.substr(0, cut), c.handlers).status, Status::ok);
        std::string reports = cut < first_end ? "" : cut < second_end ? SampleReport(0) : SampleReport();
        ASSERT_EQ(c.out.substr(0, reports.size()), reports) << "cut at " << cut;
        for (std::size_t at = reports.size(); at < c.out.size(); at += message.size())
            ASSERT_EQ(c.out.substr(at, message.size()), message) << "cut at " << cut;
    }
}

// Records of a document's usual layout are read by plan; each way a record
// can leave that layout, at any line, must read as the byte-by-byte
// reading of one-byte blocks (which never plans) reads it: the same
// reports, messages and values, and the records after it read by plan again.
TEST(Api, RecordsReadByPlanAsByteByByte) {
    const std::vector<std::string> lines = {
        "<zelrecord>\n",      "<nomvar>TT</nomvar>\n", "<typvar>P</typvar>\n",
        "<ip1>1000</ip1>\n",  "<ip2>12</ip2>\n",       "<ni>2</ni>\n",
        "<nj>2</nj>\n",       "<nk>1</nk>\n",          "<nbits>32</nbits>\n",
        "<datyp>1</datyp>\n", "<zeldata>\n",           "<values>1.5 -2.25\n 3e2 4</values>\n",
        "</zeldata>\n",       "</zelrecord>\n"};
    // Each replaces the line at its place, for one record.
    const std::vector<std::pair<std::size_t, std::string>> changes = {
        {1, "<typvar>Q</typvar>\n"},
        {1, "<nomvar>ABC</nomvar>\n<etiket>E</etiket>\n"},
        {1, ""},
        {1, "<nomvar>T>T</nomvar>\n"},
        {1, "<nomvar>T\n U</nomvar>\n"},
        {1, "<nomvar>    </nomvar>\n"},
        {1, "<nomvar></nomvar>\n"},
        {1, "<NOMVAR>TT</NOMVAR>\n"},
        {1, "\t<nomvar>TT</nomvar>\n"},
        {3, "<ip1>1000</ip1>\n\n"},
        {3, "<ip1>1000</ip1>\n\n\n"},
        {3, "<ip1>-5</ip1>\n"},
        {3, "<ip1>12345678901234567</ip1>\n"},
        {3, "<ip1>7</ip1>\r\n"},
        {3, "<ip1>7</ip1> \n"},
        {4, " <ip2>3</ip2>\n"},
        {4, "<ip2>3</ip2><ip3>4</ip3>\n"},
        {9, "<datyp>2</datyp>\n"},
        {11, "<values>1 2\n-3 4</values>\n"},
        {11, "<values>\n 1 2</values>\n"},
        {11, "<values>1 x 2 -inf</values>\n"},
        {11, "<values></values>\n"},
        {12, ""},
        {12, "</zeldata> \n"},
        {13, "</zelrecord>\n</orv-standard-file>\n"},
        {13, "/zelrecord>\n"},
        {13, "<zelrecord>\n"},
    };
    auto record = [&](std::size_t changed_at, const std::string& change) {
        std::string text;
        for (std::size_t i = 0; i < lines.size(); ++i) text += i == changed_at ? change : lines[i];
        return text;
    };
    for (const auto& [at, change] : changes) {
        std::string doc = "<orv-standard-file>\n";
        for (int i = 0; i < 3; ++i) doc += record(lines.size(), "");
        doc += record(at, change);
        for (int i = 0; i < 2; ++i) doc += record(lines.size(), "");
        Collected planned, bytes;
        ASSERT_EQ(run_buffer(doc, planned.handlers).status, Status::ok);
        ASSERT_EQ(run_reader(zeltest::InBlocksOf(doc, 1), bytes.handlers).status, Status::ok);
        EXPECT_EQ(planned.out, bytes.out) << change;
        EXPECT_EQ(planned.floats, bytes.floats) << change;
        EXPECT_EQ(planned.ints, bytes.ints) << change;
        EXPECT_EQ(planned.nomvars, bytes.nomvars) << change;
    }
}

}  // namespace

// Floats as their bits: NaNs compare too.
std::vector<std::uint32_t> Bits(const std::vector<float>& floats) {
    std::vector<std::uint32_t> bits;
    for (float value : floats) bits.push_back(std::bit_cast<std::uint32_t>(value));
    return bits;
}

// Long runs of values are converted half on a second thread: they must
// give what the same document gives read in small pieces, one token after
// another, and the report what the views give.
TEST(Api, LongRunsGiveWhatSmallPiecesGive) {
    const char* const tokens[] = {
        "1.5", "-0.00012345", "12345678", "1.2345678e-30", "7e5", "-3.4e3", "1234567890123456789.01", "0x1p3",
        "1,5", "+.5",         "-0",       "2e-7"};
    std::uint32_t state = 12345;
    auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 16; };
    std::string doc = "<nj>1</nj>\n<nk>1</nk>\n";
    for (int datyp : {1, 2, 5, 1}) {
        std::string values;
        while (values.size() < 600000) {
            values += tokens[next() % std::size(tokens)];
            std::uint32_t gap = next() % 64;
            values += gap == 0 ? "\n " : gap == 1 ? "\t" : gap == 2 && datyp == 5 ? ">" : " ";
        }
        // More entries than values (the running statistics), then fewer.
        doc += (datyp == 5 ? "<ni>50000</ni>\n" : "<ni>200000</ni>\n") + Record(datyp, values + "9");
    }
    Collected whole, pieces, blocks, rebuilt;
    ASSERT_EQ(run_buffer(doc, whole.handlers).status, Status::ok);
    // Pieces too small to split, and blocks split with tokens across them.
    ASSERT_EQ(run_reader(zeltest::InBlocksOf(doc, 1000), pieces.handlers).status, Status::ok);
    ASSERT_EQ(run_reader(zeltest::InBlocksOf(doc, 40009), blocks.handlers).status, Status::ok);
    rebuilt.handlers.output = {};
    rebuilt.handlers.on_record = [&rebuilt](const RecordView& r) { append_report(r, rebuilt.out); };
    run_buffer(doc, rebuilt.handlers);
    ASSERT_EQ(whole.floats.size(), 4u);
    EXPECT_GT(whole.floats[0].size(), 60000u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Bits(whole.floats[i]), Bits(pieces.floats[i]));
        EXPECT_EQ(whole.ints[i], pieces.ints[i]);
        EXPECT_EQ(Bits(blocks.floats[i]), Bits(pieces.floats[i]));
        EXPECT_EQ(blocks.ints[i], pieces.ints[i]);
    }
    EXPECT_EQ(whole.out, pieces.out);
    EXPECT_EQ(blocks.out, pieces.out);
    EXPECT_EQ(whole.out, rebuilt.out);
}
