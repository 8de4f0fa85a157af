// SPDX-License-Identifier: MIT
// Differential test of the values path: the streaming reader, which splits
// and converts tokens as the bytes arrive, must give exactly the arrays of
// a plain reading that first collects the whole text, then splits it and
// converts each token with the C library.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "zelreport/zelreport.h"

namespace {

struct Arrays {
    bool has_float = false;
    std::vector<std::uint32_t> float_bits;  // compared bitwise, NaNs included
    bool has_int = false;
    std::vector<std::int32_t> ints;
    bool operator==(const Arrays&) const = default;
};

void PrintTo(const Arrays& a, std::ostream* os) {
    *os << "floats" << (a.has_float ? "" : "(none)") << " " << testing::PrintToString(a.float_bits) << " ints"
        << (a.has_int ? "" : "(none)") << " " << testing::PrintToString(a.ints);
}

std::uint32_t Bits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// ---- The plain path ----------------------------------------------------

// Collects the values text the way the reading rules define it, starting
// on the ">" that ends the opening tag: a line break goes on only before a
// space (or a "-" after a line feed), a ">" is dropped and the byte after
// it kept as it is, and the text stops at "<" or end of input. When the
// opening tag is directly followed by "<" nothing is read.
std::string CollectText(std::string_view doc, std::size_t gt) {
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
    return text;
}

std::int32_t ReferenceInt(const std::string& token) {
    long value = std::strtol(token.c_str(), nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

float ReferenceFloat(const std::string& token) {
    float value = 0.0f;
    if (std::sscanf(token.c_str(), "%f", &value) != 1) value = 0.0f;
    return value;
}

Arrays Reference(const std::string& text_read, int datyp) {
    Arrays arrays;
    // A zero byte ends the text; an empty text stores nothing.
    std::string text(text_read.c_str());
    if (text.empty()) return arrays;
    bool floats = datyp == 1 || datyp == 5, ints = datyp == 2;
    arrays.has_float = floats;
    arrays.has_int = ints;
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    for (char* token = std::strtok(copy.data(), " \t\n"); token; token = std::strtok(nullptr, " \t\n")) {
        if (floats) arrays.float_bits.push_back(Bits(ReferenceFloat(token)));
        if (ints) arrays.ints.push_back(ReferenceInt(token));
    }
    return arrays;
}

// ---- The streaming path ------------------------------------------------

std::string Document(const std::string& text, int datyp) {
    return "<datyp>" + std::to_string(datyp) + "</datyp>\n<values>" + text +
           "</values>\n</zeldata>\n</zelrecord>\n";
}

struct Captured {
    int records = 0;
    Arrays arrays;
    zelreport::Result result;
};

zelreport::Handlers Capture(Captured& captured) {
    zelreport::Handlers handlers;
    handlers.on_record = [&captured](const zelreport::RecordView& record) {
        ++captured.records;
        Arrays& a = captured.arrays;
        a.has_float = record.has_floatdata;
        a.has_int = record.has_intdata;
        for (float value : record.floatdata) a.float_bits.push_back(Bits(value));
        a.ints.assign(record.intdata.begin(), record.intdata.end());
    };
    return handlers;
}

Captured RunInMemory(const std::string& doc) {
    Captured captured;
    captured.result = zelreport::run_buffer(doc, Capture(captured));
    return captured;
}

// Feeds the document through a packet socket in pieces of the given sizes:
// each read then returns exactly one piece, so tokens, line breaks and ">"
// fall across the reader's block boundaries.
Captured RunInPieces(const std::string& doc, std::mt19937& rng) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds) != 0) ADD_FAILURE() << std::strerror(errno);
    std::vector<std::size_t> sizes;
    for (std::size_t at = 0; at < doc.size();) {
        std::size_t size = std::min<std::size_t>(1 + rng() % 24, doc.size() - at);
        sizes.push_back(size);
        at += size;
    }
    std::thread writer([&doc, &sizes, fd = fds[1]] {
        std::size_t at = 0;
        for (std::size_t size : sizes) {
            if (write(fd, doc.data() + at, size) != static_cast<ssize_t>(size)) break;
            at += size;
        }
        close(fd);
    });
    Captured captured;
    captured.result = zelreport::run_fd(fds[0], Capture(captured));
    writer.join();
    close(fds[0]);
    return captured;
}

// ---- Generated texts ---------------------------------------------------

// clang-format off
const char* const kWords[] = {
    "0", "-0", "1", "+7", "-12", "3.25", "-3.5", ".5", "5.", "1e3", "1E-3", "-2.5e+2", "1e39", "-1e39",
    "1e-46", "2147483647", "-2147483648", "2147483648", "-2147483649", "99999999999999999999", "0x1p-3",
    "0X1.8P1", "inf", "-INF", "Infinity", "nan", "-nan", "NaN(12)", "1.5.5", "1-2", "--3", "+-4", "e5", "1e",
    "1e+", "0x", "abc", ".", "-", "+", "007", "3.4028235e38", "3.4028236e38", "1.17549435e-38", "0.1",
    "16777217", "1.000000059604644775390625"};
// clang-format on

// Bytes that may sit inside a token: digits and number letters, carriage
// return and the other C white space that is no separator, bytes above 127.
const char kTokenBytes[] = "0123456789.+-eExXpPaAfF\r\v\f";

// A decimal at, just above or near the midpoint between a random float
// and the next one up: the spellings where rounding to float is hardest.
std::string HalfwayToken(std::mt19937& rng) {
    float low;
    do {
        std::uint32_t bits = rng() & 0x7FFFFFFF;
        std::memcpy(&low, &bits, sizeof low);
    } while (!std::isfinite(std::nextafter(low, INFINITY)));
    double midpoint = (double{low} + double{std::nextafter(low, INFINITY)}) / 2;
    char text[256];
    switch (rng() % 4) {
        case 0:  // exact: the digits of a double are finite
            std::snprintf(text, sizeof text, "%.160e", midpoint);
            break;
        case 1:  // exact, then a last digit that puts it just above
            std::snprintf(text, sizeof text, "%.160e", midpoint);
            std::strchr(text, 'e')[-1] = '1';
            break;
        default:  // near it, short spellings
            std::snprintf(text, sizeof text, "%.*g", 9 + static_cast<int>(rng() % 10), midpoint);
            break;
    }
    std::string token = rng() % 2 ? "-" : "";
    token.append(text);
    return token;
}

std::string RandomToken(std::mt19937& rng) {
    std::string token;
    switch (rng() % 5) {
        case 0:
        case 1:
            return kWords[rng() % std::size(kWords)];
        case 2: {
            // Optional sign, up to 24 digits with a point somewhere among
            // them, and sometimes an exponent.
            std::size_t length = 1 + rng() % (rng() % 4 ? 12 : 24),
                        point = rng() % 2 ? rng() % length : length;
            if (rng() % 3 == 0) token += rng() % 2 ? '-' : '+';
            for (std::size_t i = 0; i < length; ++i) {
                if (i == point) token += '.';
                token += static_cast<char>('0' + rng() % 10);
            }
            if (rng() % 4 == 0) {
                token += 'e';
                token.append(std::to_string(static_cast<int>(rng() % 100) - 60));
            }
            return token;
        }
        case 3:
            return HalfwayToken(rng);
        default: {
            std::size_t length = 1 + rng() % 6;
            for (std::size_t i = 0; i < length; ++i)
                token += rng() % 5 ? kTokenBytes[rng() % (sizeof kTokenBytes - 1)]
                                   : static_cast<char>(128 + rng() % 128);
            return token;
        }
    }
}

std::string RandomText(std::mt19937& rng) {
    std::string text;
    std::size_t pieces = rng() % 8 == 0 ? 200 + rng() % 800 : rng() % 24;
    for (std::size_t i = 0; i < pieces; ++i) {
        switch (rng() % 16) {
            case 0:
                text += "\n ";
                break;  // continues
            case 1:
                text += "\n-";
                break;  // continues, joined to the last number
            case 2:
                text += "\r\n ";
                break;  // continues
            case 3:
                text += "\r ";
                break;  // continues
            case 4:
                text += "\n";
                break;  // ends the text unless a blank or "-" follows
            case 5:
                text += "\r";
                break;  // ends the text unless a blank or line feed follows
            case 6:
                text += '\0';
                break;  // ends the text for conversion
            case 7: {   // ">" keeps the byte after it, whatever it is
                const char after[] = {'\n', '\r', ' ', '<', '>', '\0', '5', '-', '\t'};
                text += '>';
                text += after[rng() % std::size(after)];
                break;
            }
            case 8:
                text += std::string(1 + rng() % 3, rng() % 2 ? ' ' : '\t');
                break;
            default:
                text += RandomToken(rng);
                text += rng() % 3 ? " " : "";
                break;
        }
    }
    // A trailing ">" would take the closing tag's "<" into the text.
    if (!text.empty() && text.back() == '>') text += '1';
    return text;
}

// ---- Tests -------------------------------------------------------------

// The plain path itself, on cases worked out by hand.
TEST(ValuesReference, FollowsTheReadingRules) {
    struct Case {
        std::string text;
        int datyp;
        std::vector<std::int32_t> ints;
        std::vector<float> floats;
    } cases[] = {
        {"1 2\n-3 4", 2, {1, 2, 4}, {}},
        {"\n 1.5 2.5\n -3.5", 1, {}, {1.5f, 2.5f, -3.5f}},
        {"1 2\n3 4", 2, {1, 2}, {}},
        {"5>\n6", 2, {5, 6}, {}},
        {std::string("7 8\0 9", 6), 1, {}, {7.0f, 8.0f}},
        {"\r\n 1", 5, {}, {0.0f, 1.0f}},
        {"x 99999999999 -99999999999", 2, {0, INT32_MAX, INT32_MIN}, {}},
    };
    for (const Case& c : cases) {
        std::string doc = Document(c.text, c.datyp);
        Arrays expected;
        expected.has_int = !c.ints.empty();
        expected.ints = c.ints;
        expected.has_float = !c.floats.empty();
        for (float value : c.floats) expected.float_bits.push_back(Bits(value));
        EXPECT_EQ(Reference(CollectText(doc, doc.find("<values>") + 7), c.datyp), expected)
            << testing::PrintToString(c.text);
    }
}

TEST(ValuesDiff, StreamingEqualsPlainPath) {
    // Every case in memory; one in ten also in pieces through a socket.
    constexpr int kCases = 50000, kPiecesEvery = 10;
    const int datyps[] = {1, 2, 5, 0, 3};
    for (int seed = 0; seed < kCases; ++seed) {
        std::mt19937 rng(seed);
        int datyp = datyps[rng() % std::size(datyps)];
        std::string text = RandomText(rng);
        std::string doc = Document(text, datyp);
        Arrays expected = Reference(CollectText(doc, doc.find("<values>") + 7), datyp);

        Captured whole = RunInMemory(doc);
        ASSERT_EQ(whole.result.status, zelreport::Status::ok);
        ASSERT_EQ(whole.records, 1) << "seed " << seed << " text " << testing::PrintToString(text);
        ASSERT_EQ(whole.arrays, expected) << "seed " << seed << " text " << testing::PrintToString(text);

        if (seed % kPiecesEvery != 0) continue;
        Captured pieces = RunInPieces(doc, rng);
        ASSERT_EQ(pieces.result.status, zelreport::Status::ok);
        ASSERT_EQ(pieces.records, 1) << "seed " << seed;
        ASSERT_EQ(pieces.arrays, expected) << "seed " << seed << " text " << testing::PrintToString(text);
    }
}

}  // namespace
