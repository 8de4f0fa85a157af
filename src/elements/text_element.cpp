// SPDX-License-Identifier: MIT
#include <algorithm>
#include <cstring>

#include "elements/elements.h"
#include "elements/text_rules.h"
#include "reader/context.h"
#include "reader/sweep.h"

namespace zelreport {

namespace {

// The first byte at or after `q` that a text element's reading looks at:
// "<", ">", a carriage return or a line feed; or `end`.
const char* FindTextStop(const char* q, const char* end) {
    for (; end - q >= 8; q += 8) {
        std::uint64_t word = Load8(q);
        std::uint64_t stops =
            BytesEqual(word, '<') | BytesEqual(word, '>') | BytesEqual(word, '\r') | BytesEqual(word, '\n');
        if (stops) return q + FirstMarked(stops);
    }
    while (q < end && *q != '<' && *q != '>' && *q != '\r' && *q != '\n') ++q;
    return q;
}

}  // namespace

// Reads the content up to the next "<". A line break ends it unless the
// next line begins with a space, which continues it; a ">" after the
// first byte ends it. Content beyond MAX_SIZE bytes is left unread.
void ParseString(Context& ctx, std::string_view name) {
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
    // A zero byte ends the text.
    std::string_view content(text.data(), std::min(text.size(), std::strlen(text.c_str())));
    if (content.empty() || content == "    ") return;
    setStringVar(ctx.record, name, content);
}

namespace {

// Replaces a text field's value, built in place.
void Store(std::optional<std::string>& field, std::string_view text) {
    if (field)
        field->assign(text);
    else
        field.emplace(text);
}

}  // namespace

void setStringVar(Record& r, std::string_view name, std::string_view text) {
    // A nomvar holding ">" is stored as ">>".
    if (name == "nomvar" && text.find('>') != std::string_view::npos) text = ">>";
#define ZELREPORT_SET_TEXT(field, label) \
    if (name == #field) {                \
        Store(r.field, text);            \
        return;                          \
    }
#define ZELREPORT_SET_INT(field, label, rule)
    ZELREPORT_FIELDS(ZELREPORT_SET_TEXT, ZELREPORT_SET_INT)
#undef ZELREPORT_SET_TEXT
#undef ZELREPORT_SET_INT
}

}  // namespace zelreport
