// SPDX-License-Identifier: MIT
#include <algorithm>
#include <cstring>

#include "elements/elements.h"
#include "elements/text_rules.h"
#include "reader/context.h"

namespace zelreport {

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
    }
    // A zero byte ends the text.
    std::string_view content(text.data(), std::min(text.size(), std::strlen(text.c_str())));
    if (content.empty() || content == "    ") return;
    setStringVar(ctx.record, name, content);
}

void setStringVar(Record& r, std::string_view name, std::string_view text) {
    // A nomvar holding ">" is stored as ">>".
    if (name == "nomvar" && text.find('>') != std::string_view::npos) text = ">>";
#define ZELREPORT_SET_TEXT(field, label) \
    if (name == #field) {                \
        r.field = std::string(text);     \
        return;                          \
    }
#define ZELREPORT_SET_INT(field, label, rule)
    ZELREPORT_FIELDS(ZELREPORT_SET_TEXT, ZELREPORT_SET_INT)
#undef ZELREPORT_SET_TEXT
#undef ZELREPORT_SET_INT
}

}  // namespace zelreport
