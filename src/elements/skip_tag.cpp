// SPDX-License-Identifier: MIT
#include "elements/context.h"
#include "elements/elements.h"

namespace zelreport {

void SkipTag(Context& ctx, std::string_view) {
    Scanner& in = ctx.in;
    // Usually the tag ends its line and the next line begins with a tag.
    if (in.c == '>' && in.end - in.p >= 2 && in.p[0] == '\n' && in.p[1] == '<') return in.ResumeAt(in.p + 1);
    SkipToTag(in);
}

}  // namespace zelreport
