// SPDX-License-Identifier: MIT
// Writes a benchmark document: the same name, size and seed always give
// the same bytes.
//
//   zelgen KIND DIVISOR OUTPUT [STEP]
//
// KIND is grid, many, huge, ints or another of documents.h; DIVISOR 1
// gives the full size, 10 a tenth of it. STEP (default 0) is the npas of
// every record of a hypercube kind.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "documents.h"

namespace {

constexpr std::uint64_t kSeed = 0x5eed2026;
constexpr int kValuesPerLine = 8;
constexpr std::size_t kWriteChunk = 1 << 20;

// xorshift64*: small, fast and the same on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed ? seed : 1) {}
    std::uint64_t Next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1DULL;
    }
    // Uniform in [0, n).
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(((Next() >> 32) * n) >> 32); }

private:
    std::uint64_t state_;
};

class Output {
public:
    explicit Output(std::FILE* file) : file_(file) { text_.reserve(kWriteChunk + 4096); }
    ~Output() { Flush(); }
    std::string& text() { return text_; }
    void MaybeFlush() {
        if (text_.size() >= kWriteChunk) Flush();
    }
    void Flush() {
        if (!text_.empty() && std::fwrite(text_.data(), 1, text_.size(), file_) != text_.size()) {
            std::perror("zelgen: write");
            std::exit(1);
        }
        text_.clear();
    }

private:
    std::FILE* file_;
    std::string text_;
};

// A float written with 1 to 8 significant digits, the way a formatted
// field dump spells it: mostly plain decimals of assorted magnitudes, now
// and then an exponent.
void AppendFloat(Random& random, std::string& out) {
    static constexpr int kDigitWeights[] = {2, 4, 5, 6, 7, 8, 8, 8, 8, 8};
    int digits = kDigitWeights[random.Below(10)];
    char mantissa[8];
    for (int i = 0; i < digits; ++i) mantissa[i] = static_cast<char>('0' + random.Below(10));
    if (mantissa[0] == '0') mantissa[0] = static_cast<char>('1' + random.Below(9));
    // Trailing zeros are never written after a decimal point.
    if (random.Below(3) == 0) out += '-';
    if (random.Below(40) == 0) {
        out += mantissa[0];
        int last = digits;
        while (last > 1 && mantissa[last - 1] == '0') --last;
        if (last > 1) {
            out += '.';
            out.append(mantissa + 1, static_cast<std::size_t>(last - 1));
        }
        int exponent = static_cast<int>(random.Below(60)) - 30;
        out += exponent < 0 ? "e-" : "e+";
        int magnitude = exponent < 0 ? -exponent : exponent;
        out += static_cast<char>('0' + magnitude / 10);
        out += static_cast<char>('0' + magnitude % 10);
        return;
    }
    // Digits before the decimal point: from none (0.00ddd) to all of them.
    int point = static_cast<int>(random.Below(static_cast<std::uint32_t>(digits) + 4)) - 3;
    int last = digits;
    while (last > point && last > 0 && mantissa[last - 1] == '0') --last;
    if (point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-point), '0');
        out.append(mantissa, static_cast<std::size_t>(last));
    } else {
        out.append(mantissa, static_cast<std::size_t>(point));
        if (last > point) {
            out += '.';
            out.append(mantissa + point, static_cast<std::size_t>(last - point));
        }
    }
}

void AppendInt(Random& random, std::string& out) {
    if (random.Below(5) == 0) out += '-';
    static constexpr int kDigitWeights[] = {1, 2, 3, 4, 4, 5, 5, 6};
    int digits = kDigitWeights[random.Below(8)];
    out += static_cast<char>('1' + random.Below(9));
    for (int i = 1; i < digits; ++i) out += static_cast<char>('0' + random.Below(10));
}

void AppendElement(std::string& out, const char* name, const std::string& content) {
    out += '<';
    out += name;
    out += '>';
    out += content;
    out += "</";
    out += name;
    out += ">\n";
}

void AppendRecord(const zelbench::DocumentKind& kind, const zelbench::Scaled& size, std::int64_t index,
                  std::int64_t step, Random& random, Output& output) {
    static const char* const kNames[] = {"TT", "GZ", "UU", "VV", "HU", "P0", "ES", "WW"};
    static const char* const kLevels[] = {"1000", "925", "850", "700", "500", "250", "100", "10"};
    std::string& out = output.text();
    const auto n = [](std::int64_t v) { return std::to_string(v); };
    out += "<zelrecord>\n";
    AppendElement(out, "nomvar", kNames[index % 8]);
    const bool cube = kind.hypercube;
    AppendElement(out, "typvar", !cube && index % 3 == 0 ? "A" : "P");
    AppendElement(out, "etiket", !cube && index % 2 == 0 ? "ANALYSIS" : "FORECAST");
    AppendElement(out, "ip1", kLevels[(index / 8) % 8]);
    AppendElement(out, "ip2", n(cube ? step : index % 48));
    AppendElement(out, "ip3", "0");
    AppendElement(out, "ni", n(size.ni));
    AppendElement(out, "nj", n(size.nj));
    AppendElement(out, "nk", n(size.nk));
    AppendElement(out, "dateo", "20260101");
    AppendElement(out, "deet", "300");
    AppendElement(out, "npas", n(cube ? step : index % 1000));
    AppendElement(out, "grtyp", "L");
    AppendElement(out, "ig1", "100");
    AppendElement(out, "ig2", "200");
    AppendElement(out, "ig3", "300");
    AppendElement(out, "ig4", "400");
    AppendElement(out, "nbits", "32");
    AppendElement(out, "datyp", n(kind.datyp));
    AppendElement(out, "npak", "0");
    out += "<zeldata>\n<values>";
    // Continuation lines begin with a blank; the last line ends with the
    // closing tag.
    if (size.token_bytes > 0) {
        // One token: a digit, then zeros, then a last digit.
        out += '1';
        for (std::int64_t written = 1; written < size.token_bytes - 1;) {
            std::int64_t run = std::min<std::int64_t>(size.token_bytes - 1 - written, kWriteChunk);
            out.append(static_cast<std::size_t>(run), '0');
            written += run;
            output.MaybeFlush();
        }
        out += '5';
    }
    std::int64_t count = size.token_bytes > 0 ? 0 : size.values;
    for (std::int64_t i = 0; i < count; ++i) {
        if (i > 0) out += i % kValuesPerLine == 0 ? "\n " : " ";
        if (kind.datyp == 2)
            AppendInt(random, out);
        else
            AppendFloat(random, out);
        output.MaybeFlush();
    }
    out += "</values>\n</zeldata>\n</zelrecord>\n";
    output.MaybeFlush();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: zelgen KIND DIVISOR OUTPUT [STEP]\n");
        return 2;
    }
    const zelbench::DocumentKind* kind = zelbench::FindDocument(argv[1]);
    long divisor = std::strtol(argv[2], nullptr, 10);
    if (!kind || divisor < 1) {
        std::fprintf(stderr, "zelgen: unknown document %s or bad divisor %s\n", argv[1], argv[2]);
        return 2;
    }
    std::FILE* file = std::fopen(argv[3], "wb");
    if (!file) {
        std::perror(argv[3]);
        return 1;
    }
    {
        Output output(file);
        zelbench::Scaled size = zelbench::ScaleDocument(*kind, divisor);
        Random random(kSeed ^ static_cast<std::uint64_t>(kind->datyp * 1000 + kind->ni));
        output.text() += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<orv-standard-file>\n";
        std::int64_t step = argc == 5 ? std::strtol(argv[4], nullptr, 10) : 0;
        for (std::int64_t r = 0; r < size.records; ++r) AppendRecord(*kind, size, r, step, random, output);
        output.text() += "</orv-standard-file>\n";
    }
    if (std::fclose(file) != 0) {
        std::perror(argv[3]);
        return 1;
    }
    return 0;
}
