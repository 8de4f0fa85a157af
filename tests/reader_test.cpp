// SPDX-License-Identifier: MIT
// The look-ahead reader and its skipping primitives, and the document
// loop's independence from where the input blocks happen to end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "reader/context.h"
#include "support/run.h"

namespace {

using namespace zelreport;

// A reader over `text` delivered `block` bytes at a time.
void Feed(Scanner& in, const std::string& text, std::size_t block) {
    in.read_block = [&text, block, offset = std::size_t{0}](char* buffer, std::size_t capacity) mutable {
        std::size_t n = std::min({block, capacity, text.size() - offset});
        std::memcpy(buffer, text.data() + offset, n);
        offset += n;
        return static_cast<long>(n);
    };
}

// Where NextProperty leaves the reader, for every block size.
struct NextPropertyCase {
    const char* input;  // the reader starts on its first byte
    int stop;           // the byte NextProperty returns
    const char* rest;   // what is left after it
};

const NextPropertyCase kNextProperty[] = {
    {"</ip1>\n<ip2>5", 'i', "p2>5"},
    {"x\r\n<ip2>", 'i', "p2>"},
    {"x\r<ip2>", 'i', "p2>"},
    {"x\n</zeldata>", 'z', "eldata>"},
    {"x\n\t<a>", 'a', ">"},
    {"x\n  indented\n more\n<b>", 'b', ">"},
    {"x\r\n indented\r\n<b>", 'b', ">"},
    {"x\n\n<b>", '\n', "<b>"},
    {"x\r\n\r\n<b>", '\r', "\n<b>"},
    {"x\n//<</ b", 'b', ""},
    {"no line break", kEndOfInput, ""},
    {"x\n", kEndOfInput, ""},
    {"x\n ", kEndOfInput, ""},
};

std::string Rest(Scanner& in) {
    std::string rest;
    while (in.AdvanceChar() != kEndOfInput) rest += static_cast<char>(in.c);
    return rest;
}

TEST(NextProperty, DropsTheLineAndIndentedLines) {
    for (const auto& tc : kNextProperty) {
        for (std::size_t block : {1, 2, 3, 5, 64}) {
            std::string text = tc.input;
            Scanner in;
            Feed(in, text, block);
            in.AdvanceChar();
            EXPECT_EQ(NextProperty(in), tc.stop) << tc.input << " block " << block;
            EXPECT_EQ(Rest(in), tc.rest) << tc.input << " block " << block;
        }
    }
}

TEST(NextProperty, AtEndOfInputReadsNothing) {
    Scanner in;
    in.c = kEndOfInput;
    EXPECT_EQ(NextProperty(in), kEndOfInput);
}

TEST(SkipTag, StopsOnTheNextTagOrStaysOnOne) {
    for (std::size_t block : {1, 4, 64}) {
        std::string text = "abc\n def<x>";
        Scanner in;
        Feed(in, text, block);
        in.AdvanceChar();
        SkipToTag(in);
        EXPECT_EQ(in.c, '<');
        SkipToTag(in);  // already on "<": reads nothing
        EXPECT_EQ(Rest(in), "x>");
    }
    std::string none = "no tag";
    Scanner in;
    Feed(in, none, 2);
    in.AdvanceChar();
    SkipToTag(in);
    EXPECT_EQ(in.c, kEndOfInput);
}

TEST(SkipWhite, SkipsSpacesOnly) {
    std::string text = "   \tx";
    Scanner in;
    Feed(in, text, 2);
    in.AdvanceChar();
    EXPECT_EQ(SkipWhite(in), '\t');
    EXPECT_TRUE(IsWhite(' '));
    for (int ch : {int{'\t'}, int{'\r'}, int{'\n'}, int{'\v'}, 0, kEndOfInput}) EXPECT_FALSE(IsWhite(ch));
}

TEST(Scanner, NothingIsReadAfterEndOfInput) {
    std::string text = "a";
    int calls = 0;
    Scanner in;
    in.read_block = [&](char* buffer, std::size_t) {
        ++calls;
        if (calls > 1) return 0L;
        buffer[0] = text[0];
        return 1L;
    };
    EXPECT_EQ(in.AdvanceChar(), 'a');
    EXPECT_EQ(in.AdvanceChar(), kEndOfInput);
    EXPECT_EQ(in.AdvanceChar(), kEndOfInput);
    EXPECT_EQ(calls, 2);
}

std::string Report(const std::string& document, std::size_t block) {
    Handlers handlers;
    std::string out;
    handlers.output = [&out](std::string_view text) {
        out += text;
        return true;
    };
    if (block == 0) {
        run_buffer(document, handlers);
        return out;
    }
    std::size_t offset = 0;
    run_reader(
        [&](char* buffer, std::size_t capacity) {
            std::size_t n = std::min({block, capacity, document.size() - offset});
            std::memcpy(buffer, document.data() + offset, n);
            offset += n;
            return static_cast<long>(n);
        },
        handlers);
    return out;
}

// Every golden document gives the same report whether it arrives whole or
// in small blocks, so no fast path depends on where a block ends.
TEST(DocumentLoop, ReportDoesNotDependOnBlockBoundaries) {
    namespace fs = std::filesystem;
    int documents = 0;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(TESTS_DIR) / "golden")) {
        if (entry.path().extension() != ".xml") continue;
        std::string document = zeltest::ReadFile(entry.path().string());
        std::string whole = Report(document, 0);
        for (std::size_t block : {1, 2, 3, 7, 13})
            EXPECT_EQ(Report(document, block), whole) << entry.path() << " block " << block;
        ++documents;
    }
    EXPECT_GT(documents, 0);
}

TEST(DocumentLoop, ReadErrorStopsTheRun) {
    Handlers handlers;
    std::string out;
    handlers.output = [&out](std::string_view text) {
        out += text;
        return true;
    };
    Context ctx(handlers);
    std::string first = "<zelrecord>\n</zelrecord>\n<zelrecord>\n";
    bool given = false;
    ctx.in.read_block = [&](char* buffer, std::size_t) -> long {
        if (given) {
            errno = EIO;
            return -1;
        }
        given = true;
        std::memcpy(buffer, first.data(), first.size());
        return static_cast<long>(first.size());
    };
    ParseConfigFile(ctx);
    EXPECT_TRUE(ctx.in.read_failed);
    EXPECT_EQ(ctx.in.read_errno, EIO);
    EXPECT_EQ(ctx.in.c, kEndOfInput);
}

}  // namespace
