// SPDX-License-Identifier: MIT
#include "xml/diagnose/rules.h"

#include "xml/common/limits.h"

namespace zelreport::xml {

namespace {

static_assert(kNameLimit == 200 && kTextLimit == 8192000, "the causes name these limits");

constexpr CauseText kCauses[kCauseCount] = {
#define ZELXML_CAUSE_TEXT(id, what, fix, mend) {what, fix, mend},
    ZELXML_CAUSES(ZELXML_CAUSE_TEXT)
#undef ZELXML_CAUSE_TEXT
};

}  // namespace

const CauseText& Describe(Cause cause) {
    return kCauses[static_cast<std::size_t>(cause)];
}

std::string CauseAndFix(Cause cause) {
    const CauseText& text = Describe(cause);
    constexpr std::string_view kZelfmt = "run zelfmt";
    std::string words = "; cause: ";
    words += text.what;
    words += "; fix: ";
    words += text.fix;
    if (text.mend == Mend::zelfmt) {
        if (!text.fix.empty()) words += ", or ";
        words += kZelfmt;
    }
    return words;
}

}  // namespace zelreport::xml
