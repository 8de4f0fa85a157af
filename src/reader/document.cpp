// SPDX-License-Identifier: MIT
// The document loop: read an element name, look it up, run its handler.
#include <algorithm>
#include <array>

#include "reader/context.h"
#include "record/report.h"

namespace zelreport {

void SkipTag(Context& ctx, std::string_view) {
    SkipToTag(ctx.in);
}

void InitConfig(Context& ctx) {
    if (!ctx.initialized) {
        ctx.initialized = true;
        for (const KeywordRow* row = flags; row->name; ++row) ctx.keywords.install(row->name, row->handler);
    }
    ctx.in.c = 0;
}

namespace {

// The bytes a name sweep stops at: its two delimiters, and the zero byte
// that hides the rest of the name from every test.
constexpr std::array<bool, 256> MakeNameStops() {
    std::array<bool, 256> stops{};
    stops['<'] = stops['>'] = stops['\0'] = true;
    return stops;
}
constexpr std::array<bool, 256> kNameStops = MakeNameStops();

// Reads a name up to ">", "<" or end of input, at most kMaxNameLength
// bytes; the byte that stopped it stays in `c`. Tests on a name see it
// only up to its first zero byte.
std::string_view ReadName(Scanner& in, char (&buffer)[kMaxNameLength]) {
    std::size_t length = 0;
    std::size_t visible = kMaxNameLength;  // shortened at the first zero byte
    if (in.c == '<' || in.c == '/' || in.c == '>') in.AdvanceChar();
    while (in.c != '>' && in.c != '<' && in.c != kEndOfInput && length < kMaxNameLength) {
        // Take the name from the block in one sweep, up to its end, the
        // block's end or the length limit.
        const char* q = in.Here();
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
    return {buffer, std::min(visible, length)};
}

constexpr std::string_view kEmptyNameMessage = "ParseConfigFile(), found name is empty \n";

}  // namespace

void ParseConfigFile(Context& ctx) {
    Scanner& in = ctx.in;
    InitConfig(ctx);
    in.AdvanceChar();
    const KeywordEntry* entry = nullptr;
    char buffer[kMaxNameLength];
    while (in.c != kEndOfInput) {
        if (in.c == '/') NextProperty(in);
        std::string_view name = ReadName(in, buffer);
        if (in.read_failed) return;
        if (name.size() > 1) {
            if (name.find('/') != std::string_view::npos && name != "/zelrecord") {
                entry = nullptr;
                if (name == "/orv-standard-file") return;
                NextProperty(in);
            } else {
                entry = ctx.keywords.lookup(name);
            }
        }
        if (entry) {
            if (name.size() <= 1) {
                ctx.out.text += kEmptyNameMessage;
                ctx.out.FlushIfFull();
            } else {
                entry->handler(ctx, name);
            }
        } else if (name == "/zelrecord") {
            write_to_zelFile(ctx);
            NextProperty(in);
        }
        if (ctx.out.failed || in.read_failed) return;
    }
}

}  // namespace zelreport
