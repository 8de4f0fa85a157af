#include <cstring>

#include "elements/elements.h"
#include "reader/context.h"
#include "reader/short_text.h"

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
        if (in.c == '\r') {
            in.AdvanceChar();
            if (in.c != '\n' && in.c != ' ') break;
        }
        if (in.c == '\n') {
            in.AdvanceChar();
            if (in.c != ' ') break;
        }
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
    std::string_view content(text.data(), VisibleLength(text.data(), text.size()));
    if (content.empty() || content == "    ") return;
    setStringVar(ctx.record, name, content);
}

void setStringVar(Record& r, std::string_view name, std::string_view text) {
    if (name == "nomvar")
        r.nomvar = Contains(text, '>') ? std::string(">>") : std::string(text);
    else if (name == "typvar")
        r.typvar = std::string(text);
    else if (name == "etiket")
        r.etiket = std::string(text);
    else if (name == "grtyp")
        r.grtyp = std::string(text);
}

}  // namespace zelreport
