// SPDX-License-Identifier: MIT
#include "xml/format/values_writer.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "reader/sweep.h"

namespace zelreport::xml {

namespace {

enum ByteClass : unsigned char { token_byte, separator, escaped };

constexpr std::array<unsigned char, 256> MakeClasses() {
    std::array<unsigned char, 256> classes{};
    for (char c : {' ', '\t', '\n', '\r'}) classes[static_cast<unsigned char>(c)] = separator;
    for (char c : {'<', '>', '&'}) classes[static_cast<unsigned char>(c)] = escaped;
    return classes;
}
constexpr std::array<unsigned char, 256> kClasses = MakeClasses();

// The end of the run from `p` on that comes out as written: token bytes
// and single blanks. Eight bytes at a time it stops before a byte below a
// blank (XML character data holds no control bytes but tab, line feed and
// carriage return), "<", ">", "&" or a blank followed by another. Every
// such byte is flagged, and now and then a byte after a true one: the
// stop may come early, never late.
const char* SkipPlainRun(const char* p, const char* end) {
    constexpr std::uint64_t kTop3Bits = kEveryByte * 0xE0;  // zero exactly in a byte below a blank
    for (; end - p > 8; p += 8) {
        std::uint64_t x = Load8(p), next = Load8(p + 1);
        std::uint64_t stop = ZeroBytes(x & kTop3Bits) | BytesEqual(x, '<') | BytesEqual(x, '>') |
                             BytesEqual(x, '&') | (BytesEqual(x, ' ') & BytesEqual(next, ' '));
        if (stop) return p + FirstMarked(stop);
    }
    for (; p < end; ++p) {
        unsigned char kind = kClasses[static_cast<unsigned char>(*p)];
        bool plain_blank = *p == ' ' && (p + 1 == end || p[1] != ' ');
        if (kind == escaped || (kind == separator && !plain_blank)) break;
    }
    return p;
}

std::string_view Entity(char c) {
    return c == '<' ? "&lt;" : c == '>' ? "&gt;" : "&amp;";
}

// A blank between two tokens: neither followed by white space nor last.
bool Plain(const char* blank, const char* end) {
    return blank + 1 < end && kClasses[static_cast<unsigned char>(blank[1])] == token_byte;
}

}  // namespace

void ValuesWriter::Write(std::string_view raw) {
    const char* p = raw.data();
    const char* const end = p + raw.size();
    const char* same = p;  // start of the input copied as it is
    while (p < end) {
        unsigned char kind = kClasses[static_cast<unsigned char>(*p)];
        if (blank_owed_) {
            // The white space the last piece ended with, unless this one
            // begins with its own.
            blank_owed_ = false;
            if (kind != separator) Separate();
        }
        if (kind == token_byte || (kind == separator && any_ && *p == ' ' && Plain(p, end))) {
            p = TakePlainRun(p, end, same);
            continue;
        }
        if (kind == escaped) {
            Copy(same, p);
            std::string_view entity = Entity(*p);
            Put(entity);
            line_ += entity.size();
            any_ = true;
            same = ++p;
            continue;
        }
        const char* gap = p;
        while (p < end && kClasses[static_cast<unsigned char>(*p)] == separator) ++p;
        Copy(same, gap);
        same = p;
        if (!any_) continue;
        if (p == end)
            blank_owed_ = true;  // a token may follow in the next piece
        else
            Separate();
    }
    Copy(same, p);
}

void ValuesWriter::Separate() {
    bool wrap = line_ >= kValuesLineBytes;
    Put(wrap ? "\n " : " ");
    line_ = wrap ? 1 : line_ + 1;
}

// Takes the run of token bytes and single blanks from `p` on, which
// comes out as written but for line breaks past kValuesLineBytes.
const char* ValuesWriter::TakePlainRun(const char* p, const char* end, const char*& same) {
    const char* stop = SkipPlainRun(p, end);
    if (stop > p && stop[-1] == ' ') --stop;  // a blank before the stop is a separator's
    if (stop == p) stop = p + 1;              // an early stop on a byte that needs nothing
    any_ = true;
    for (;;) {
        std::size_t room = line_ < kValuesLineBytes ? kValuesLineBytes - line_ : 0;
        auto length = static_cast<std::size_t>(stop - p);
        const void* blank = room < length ? std::memchr(p + room, ' ', length - room) : nullptr;
        if (!blank) {
            line_ += length;
            return stop;
        }
        const char* at = static_cast<const char*>(blank);
        Copy(same, at);
        Put("\n ");
        line_ = 1;
        same = p = at + 1;
    }
}

void ValuesWriter::Put(std::string_view text) {
    if (text.size() > static_cast<std::size_t>(room_ + kRoomBytes - free_)) {
        Flush();
        if (text.size() > kRoomBytes) {
            out_.buffer().append(text);
            out_.FlushIfFull();
            return;
        }
    }
    std::memcpy(free_, text.data(), text.size());
    free_ += text.size();
}
void ValuesWriter::Flush() {
    out_.buffer().append(room_, static_cast<std::size_t>(free_ - room_));
    free_ = room_;
    out_.FlushIfFull();
}

}  // namespace zelreport::xml
