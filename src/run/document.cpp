// SPDX-License-Identifier: MIT
// The document loop: read an element name, look it up, run its handler.
#include "run/document.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>

#include "reader/element_names.h"
#include "reader/limits.h"
#include "reader/sweep.h"

namespace zelreport {

void InitConfig(DocumentRun& run) {
    if (!run.initialized) {
        run.initialized = true;
        for (const KeywordRow* row = flags; row->name; ++row) run.keywords.install(row->name, row->handler);
    }
    run.ctx.in.c = 0;
}

namespace {

// A name as the loop tests it: its bytes up to the first zero byte, and
// whether they hold a "/".
struct Name {
    std::string_view text;
    bool has_slash = false;
    PackedName packed;  // for the keyword lookup
};

// The usual name: under fifteen bytes, no zero byte, inside the block
// with room for a 16-byte load. Read with that load.
std::optional<Name> ReadShortName(Scanner& in, NameBuffer& buffer) {
    if (in.c == kEndOfInput || in.end - in.Here() < sweep::kWidth) return std::nullopt;
    const char* q = in.Here();
    Bytes16 bytes(q);
    unsigned zeros = bytes.AnyOf<'\0'>();
    // The sixteenth byte stops the name too: one of fifteen bytes or more is
    // read the long way.
    int length = std::countr_zero(bytes.AnyOf<'<', '>'>() | zeros | 0x8000u);
    if (length == 15 || (zeros >> length & 1)) return std::nullopt;
    bytes.Store(buffer.data());
    Name name;
    name.text = {buffer.data(), static_cast<std::size_t>(length)};
    name.packed = Pack(bytes, name.text.size());
    name.has_slash = (bytes.AnyOf<'/'>() & ((1u << length) - 1)) != 0;
    in.ResumeAt(q + length);
    return name;
}

// Any other name, out of the usual one's way: up to ">", "<" or end of
// input, at most kMaxNameLength bytes, across blocks.
[[gnu::noinline]] Name ReadLongName(Scanner& in, NameBuffer& buffer) {
    std::size_t length = 0;
    std::size_t visible = kMaxNameLength;  // shortened at the first zero byte
    while (in.c != '>' && in.c != '<' && in.c != kEndOfInput && length < kMaxNameLength) {
        // Up to the name's end, the block's end or the length limit; a
        // zero byte is kept, and the sweep goes on past it.
        const char* q = in.Here();
        const char* limit = q + std::min<std::ptrdiff_t>(in.end - q, kMaxNameLength - length);
        for (;;) {
            const char* stop = FindAny<'<', '>', '\0'>(q, limit);
            std::memcpy(buffer.data() + length, q, static_cast<std::size_t>(stop - q));
            length += static_cast<std::size_t>(stop - q);
            q = stop;
            if (q == limit || *q != '\0') break;
            visible = std::min(visible, length);
            buffer[length++] = '\0';
            ++q;
        }
        in.ResumeAt(q);
    }
    Name name;
    name.text = {buffer.data(), std::min(visible, length)};
    const char* text_end = name.text.data() + name.text.size();
    name.has_slash = FindAny<'/'>(name.text.data(), text_end) != text_end;
    name.packed = PackPadded(name.text.data(), name.text.size());
    return name;
}

// Reads a name up to ">", "<" or end of input, at most kMaxNameLength
// bytes; the byte that stopped it stays in `c`. Tests on a name see it
// only up to its first zero byte.
Name ReadName(Scanner& in, NameBuffer& buffer) {
    if (in.c == '<' || in.c == '/' || in.c == '>') in.AdvanceChar();
    if (std::optional<Name> name = ReadShortName(in, buffer)) return *name;
    return ReadLongName(in, buffer);
}

constexpr std::string_view kEmptyNameMessage = "ParseConfigFile(), found name is empty \n";

// Runs the element's handler, which the name found; the loop forgets the
// element when the handler has read its closing tag.
void RunHandler(Context& ctx, const KeywordEntry*& entry, std::string_view name) {
    entry->handler(ctx, name);
    if (ctx.closing_tag_read) {
        ctx.closing_tag_read = false;
        entry = nullptr;
    }
}

// The record's closing tag, read with its "/".
void EndRecord(DocumentRun& run) {
    write_to_zelFile(run);
    NextProperty(run.ctx.in);
}

// Runs the passes whose names the plan foresees as the pass below would
// run them, without reading or looking up the name: a pass that begins on
// "/" or at end of input is not foreseen, and the foreseen name must lie
// in the block with its ">". Returns when a pass is not foreseen; false
// when the run must stop.
bool RunForeseenPasses(DocumentRun& run, const KeywordEntry*& entry) {
    Context& ctx = run.ctx;
    Scanner& in = ctx.in;
    const RecordPlan::Step* step = run.plan.Next();
    bool going = true;
    for (;;) {
        if (in.c == kEndOfInput || in.c == '/') break;
        // Where the name begins: ReadName steps over one "<" or ">".
        const char* name = in.p - 1 + (in.c == '<' || in.c == '>');
        if (in.end - name < sweep::kWidth || !RecordPlan::Meets(*step, name)) break;
        // The name read, its ">" is the look-ahead byte.
        in.c = '>';
        in.p = name + step->length + 1;
        entry = step->entry;
        if (entry)
            RunHandler(ctx, entry, step->name());
        else
            EndRecord(run);
        step = run.plan.After(step);
        if (ctx.out.failed || in.read_failed) {
            going = false;
            break;
        }
    }
    run.plan.Resume(step);
    return going;
}

}  // namespace

void ParseConfigFile(DocumentRun& run) {
    Context& ctx = run.ctx;
    Scanner& in = ctx.in;
    InitConfig(run);
    in.AdvanceChar();
    const KeywordEntry* entry = nullptr;
    NameBuffer buffer;
    while (in.c != kEndOfInput) {
        if (!RunForeseenPasses(run, entry)) return;
        if (in.c == kEndOfInput) break;
        if (in.c == '/') NextProperty(in);
        auto [name, has_slash, packed] = ReadName(in, buffer);
        if (in.read_failed) return;
        const bool ended_by_tag_end = in.c == '>';
        if (name.size() > 1) {
            if (has_slash && name != kRecordEndName) {
                entry = nullptr;
                if (name == kRootEndName) return;
                NextProperty(in);
            } else {
                entry = run.keywords.Find(packed, name);
                if (ended_by_tag_end && (entry || name == kRecordEndName)) run.plan.Learn(name, entry);
            }
        }
        bool record_end = false;
        if (entry) {
            if (name.size() <= 1) {
                ctx.out.Append(kEmptyNameMessage);
                ctx.out.FlushIfFull();
            } else {
                RunHandler(ctx, entry, name);
            }
        } else if (name == kRecordEndName) {
            EndRecord(run);
            record_end = true;
        }
        run.plan.Pass(record_end);
        if (ctx.out.failed || in.read_failed) return;
    }
}

}  // namespace zelreport
