// SPDX-License-Identifier: MIT
// The document loop: read an element name, look it up, run its handler.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "reader/element_names.h"
#include "reader/limits.h"
#include "reader/sweep.h"
#include "run/document.h"

namespace zelreport {

void InitConfig(DocumentRun& run) {
    if (!run.initialized) {
        run.initialized = true;
        for (const KeywordRow* row = flags; row->name; ++row) run.keywords.install(row->name, row->handler);
    }
    run.ctx.in.c = 0;
}

namespace {

// The bytes a name sweep stops at: its two delimiters, and the zero byte
// that hides the rest of the name from every test.
constexpr std::array<bool, 256> kNameStops = ByteTable({'<', '>', '\0'});

// Marks the bytes of `word` that a name sweep stops at.
inline std::uint64_t NameStops(std::uint64_t word) {
    return BytesEqual(word, '<') | BytesEqual(word, '>') | ZeroBytes(word);
}

// True when `text`, in a buffer with room for a word load past its end,
// holds `byte`.
bool HasByte(std::string_view text, unsigned char byte) {
    for (std::size_t i = 0; i < text.size(); i += 8) {
        std::uint64_t found = BytesEqual(Load8(text.data() + i), byte);
        if (text.size() - i < 8) found &= (std::uint64_t{1} << (8 * (text.size() - i))) - 1;
        if (found) return true;
    }
    return false;
}

// A name as the loop tests it: its bytes up to the first zero byte, and
// whether they hold a "/".
struct Name {
    std::string_view text;
    bool has_slash = false;
    PackedName packed;  // for the keyword lookup
};

// The usual name: under sixteen bytes, no zero byte, inside the block
// with room for a 16-byte load. Read with that load.
std::optional<Name> ReadShortName(Scanner& in, NameBuffer& buffer) {
    if (in.c == kEndOfInput || in.end - in.Here() < 16) return std::nullopt;
    const char* q = in.Here();
#if defined(__SSE2__)
    // 0xFF in the first sixteen bytes, 0 in the next: the sixteen from
    // place 16 - n keep the first n bytes of a load.
    alignas(32) static constexpr unsigned char kFirstBytes[32] = {
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    auto marks = [bytes](char byte) {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(byte))));
    };
    unsigned zeros = marks('\0');
    // The sixteenth byte stops the name too: a name that long is read the long way.
    int length = std::countr_zero(marks('<') | marks('>') | zeros | 0x8000u);
    if (length == 15 || (zeros >> length & 1)) return std::nullopt;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer.data()), bytes);
    __m128i kept =
        _mm_and_si128(bytes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFirstBytes + 16 - length)));
    Name name;
    name.text = {buffer.data(), static_cast<std::size_t>(length)};
    name.packed.length = name.text.size();
    name.packed.words[0] = static_cast<std::uint64_t>(_mm_cvtsi128_si64(kept));
    name.packed.words[1] = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_srli_si128(kept, 8)));
    name.has_slash = (marks('/') & ((1u << length) - 1)) != 0;
    in.ResumeAt(q + length);
    return name;
#else
    std::uint64_t first = Load8(q), second = Load8(q + 8);
    std::uint64_t stops = NameStops(first);
    int length = stops ? FirstMarked(stops) : 8 + FirstMarked(NameStops(second) | std::uint64_t{1} << 63);
    if (length == 15 || q[length] == '\0') return std::nullopt;
    std::memcpy(buffer.data(), &first, sizeof first);
    std::memcpy(buffer.data() + 8, &second, sizeof second);
    Name name;
    name.text = {buffer.data(), static_cast<std::size_t>(length)};
    name.packed.length = name.text.size();
    name.packed.words[0] = first & BytesBefore(std::min(length, 8));
    std::uint64_t slashes = BytesEqual(name.packed.words[0], '/') & BytesBefore(std::min(length, 8));
    if (length > 8) {
        name.packed.words[1] = second & BytesBefore(length - 8);
        slashes |= BytesEqual(name.packed.words[1], '/') & BytesBefore(length - 8);
    }
    name.has_slash = slashes != 0;
    in.ResumeAt(q + length);
    return name;
#endif
}

// Reads a name up to ">", "<" or end of input, at most kMaxNameLength
// bytes; the byte that stopped it stays in `c`. Tests on a name see it
// only up to its first zero byte.
Name ReadName(Scanner& in, NameBuffer& buffer) {
    if (in.c == '<' || in.c == '/' || in.c == '>') in.AdvanceChar();
    if (std::optional<Name> name = ReadShortName(in, buffer)) return *name;
    std::size_t length = 0;
    std::size_t visible = kMaxNameLength;  // shortened at the first zero byte
    while (in.c != '>' && in.c != '<' && in.c != kEndOfInput && length < kMaxNameLength) {
        const char* q = in.Here();
        // Eight bytes at a time while the block and the limit allow,
        // then byte by byte, up to the name's end, the block's end or
        // the length limit.
        while (in.end - q >= 8 && length + 8 <= kMaxNameLength) {
            std::uint64_t word = Load8(q);
            std::memcpy(buffer.data() + length, &word, sizeof word);
            std::uint64_t stops = NameStops(word);
            if (stops == 0) {
                q += 8, length += 8;
                continue;
            }
            int run = FirstMarked(stops);
            q += run, length += static_cast<std::size_t>(run);
            if (*q != '\0') break;
            visible = std::min(visible, length);
            ++q, ++length;
        }
        const char* limit = q + std::min<std::ptrdiff_t>(in.end - q, kMaxNameLength - length);
        for (; q < limit; ++q) {
            unsigned char b = static_cast<unsigned char>(*q);
            if (kNameStops[b]) {
                if (b != '\0') break;
                visible = std::min(visible, length);
            }
            buffer[length++] = static_cast<char>(b);
        }
        in.ResumeAt(q);
    }
    Name name;
    name.text = {buffer.data(), std::min(visible, length)};
    name.has_slash = HasByte(name.text, '/');
    name.packed = PackPadded(name.text.data(), name.text.size());
    return name;
}

constexpr std::string_view kEmptyNameMessage = "ParseConfigFile(), found name is empty \n";

}  // namespace

void ParseConfigFile(DocumentRun& run) {
    Context& ctx = run.ctx;
    Scanner& in = ctx.in;
    InitConfig(run);
    in.AdvanceChar();
    const KeywordEntry* entry = nullptr;
    NameBuffer buffer;
    while (in.c != kEndOfInput) {
        if (in.c == '/') NextProperty(in);
        auto [name, has_slash, packed] = ReadName(in, buffer);
        if (in.read_failed) return;
        if (name.size() > 1) {
            if (has_slash && name != kRecordEndName) {
                entry = nullptr;
                if (name == kRootEndName) return;
                NextProperty(in);
            } else {
                entry = run.keywords.Find(packed, name);
            }
        }
        if (entry) {
            if (name.size() <= 1) {
                ctx.out.Append(kEmptyNameMessage);
                ctx.out.FlushIfFull();
            } else {
                entry->handler(ctx, name);
                if (ctx.closing_tag_read) {
                    ctx.closing_tag_read = false;
                    entry = nullptr;
                }
            }
        } else if (name == kRecordEndName) {
            write_to_zelFile(run);
            NextProperty(in);
        }
        if (ctx.out.failed || in.read_failed) return;
    }
}

}  // namespace zelreport
