// SPDX-License-Identifier: MIT
#include <algorithm>
#include <bit>
#include <cstring>

#include "elements/context.h"
#include "elements/elements.h"
#include "elements/text_rules.h"
#include "reader/limits.h"
#include "reader/lines.h"
#include "reader/sweep.h"

namespace zelreport {

namespace {

// Replaces a text field's value, built in place.
void Store(std::optional<std::string>& field, std::string_view text) {
    if (field)
        field->assign(text);
    else
        field.emplace(text);
}

using TextField = std::optional<std::string> Record::*;

// The field whose text, when it holds a ">", is stored as ">>".
constexpr bool IsNomvar(TextField field) {
    return field == &Record::nomvar;
}

// Where a text element's content goes: its field, and whether that is
// nomvar.
struct TextTarget {
    std::optional<std::string>* field;
    bool nomvar;
};

// Sets the target's field to `text`.
void SetText(TextTarget target, std::string_view text) {
    // A nomvar holding ">" is stored as ">>".
    if (target.nomvar && text.find('>') != std::string_view::npos) text = ">>";
    Store(*target.field, text);
}

// The first byte at or after `q` that a text element's reading looks at:
// "<", ">", a carriage return, a line feed, or a zero byte (which hides
// what follows it); or `end`. Usually among the next sixteen bytes;
// farther ones are looked for out of line.
[[gnu::noinline]] const char* FindFarTextStop(const char* q, const char* end) {
    return FindAny<'<', '>', '\r', '\n', '\0'>(q, end);
}
inline const char* FindTextStop(const char* q, const char* end) {
    if (end - q >= sweep::kWidth)
        if (unsigned stops = Bytes16(q).AnyOf<'<', '>', '\r', '\n', '\0'>())
            return q + std::countr_zero(stops);
    return FindFarTextStop(q, end);
}

// The usual text element, inside the block: from the opening tag's ">",
// the bytes up to the closing tag's "<" or a ">", with no line break and
// no zero byte after the first and fewer than MAX_SIZE of them. Returns
// where they end, or nullptr for anything else.
const char* TextEndInBlock(const Scanner& in) {
    if (in.c != '>' || in.p == in.end || *in.p == '<') return nullptr;
    const char* first = in.p;  // taken as it is, whatever it is
    const char* stop = FindTextStop(first + 1, in.end);
    if (stop == in.end || (*stop != '<' && *stop != '>') ||
        static_cast<std::size_t>(stop - first) >= MAX_SIZE)
        return nullptr;
    return stop;
}

// What a text up to its first zero byte stores, if anything.
[[gnu::always_inline]] inline void StoreContent(TextTarget target, std::string_view content) {
    if (content.empty() || content == "    ") return;
    SetText(target, content);
}

// What the text stores: a zero byte ends it.
void StoreText(TextTarget target, std::string_view text) {
    StoreContent(target, text.substr(0, text.find('\0')));
}

// The content byte by byte, out of the usual text's way.
[[gnu::noinline]] void ReadTextByBytes(Context& ctx, TextTarget target) {
    Scanner& in = ctx.in;
    std::string& text = ctx.scratch;
    // Keep the scratch room modest after an unusually long text.
    if (text.capacity() > (1u << 20)) std::string().swap(text);
    text.clear();
    for (;;) {
        if (text.size() >= MAX_SIZE || in.c == kEndOfInput || in.c == '<') break;
        if ((in.c == '\r' || in.c == '\n') && !PassLineBreak(in, Content::text)) break;
        if (in.c == '>') {
            in.AdvanceChar();
            if (!text.empty()) break;
            // The byte after the opening tag is taken as it is, line break
            // included, unless the element is empty.
            if (in.c == '<' || in.c == kEndOfInput) break;
        }
        text += static_cast<char>(in.c);
        in.AdvanceChar();
        // The bytes that need no test follow in one sweep.
        if (in.c != kEndOfInput) {
            const char* q = in.Here();
            const char* stop = FindTextStop(q, q + std::min<std::size_t>(in.end - q, MAX_SIZE - text.size()));
            text.append(q, stop);
            in.ResumeAt(stop);
        }
    }
    StoreText(target, text);
}

// Reads the content up to the next "<". A line break ends it unless the
// next line begins with a space, which continues it; a ">" after the
// first byte ends it. Content beyond MAX_SIZE bytes is left unread.
[[gnu::always_inline]] inline void ReadText(Context& ctx, std::string_view name, TextTarget target) {
    Scanner& in = ctx.in;
    const char* stop = TextEndInBlock(in);
    if (!stop) return ReadTextByBytes(ctx, target);
    // Stored before reading on, which may refill the block. Only the first
    // byte can be a zero byte, which leaves the text empty.
    std::size_t length = *in.p == '\0' ? 0 : static_cast<std::size_t>(stop - in.p);
    StoreContent(target, {in.p, length});
    // A ">" after the first byte ends the text and is read past.
    in.ResumeAt(*stop == '>' ? stop + 1 : stop);
    ctx.closing_tag_read = PassClosingTag(in, name);
}

}  // namespace

template <std::optional<std::string> Record::*field>
void ParseString(Context& ctx, std::string_view name) {
    ReadText(ctx, name, {&(ctx.record.*field), IsNomvar(field)});
}

#define ZELREPORT_TEXT_INSTANCE(name, label) \
    template void ParseString<&Record::name>(Context&, std::string_view);
#define ZELREPORT_NO_INT(name, label, rule)
ZELREPORT_FIELDS(ZELREPORT_TEXT_INSTANCE, ZELREPORT_NO_INT)
#undef ZELREPORT_TEXT_INSTANCE
#undef ZELREPORT_NO_INT

}  // namespace zelreport
