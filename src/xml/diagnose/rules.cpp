// SPDX-License-Identifier: MIT
#include "xml/diagnose/rules.h"

#include <array>

#include "xml/common/limits.h"

namespace zelreport::xml {

namespace {

static_assert(kNameLimit == 200 && kTextLimit == 8192000, "the causes name these limits");

constexpr CauseText kCauses[kCauseCount] = {
#define ZELXML_CAUSE_TEXT(id, name, what, fix, mend, severity) {name, what, fix, mend, severity},
    ZELXML_CAUSES(ZELXML_CAUSE_TEXT)
#undef ZELXML_CAUSE_TEXT
};

constexpr std::array<Cause, kCauseCount - 1> MakeRules() {
    std::array<Cause, kCauseCount - 1> rules{};
    for (std::size_t i = 1; i < kCauseCount; ++i) rules[i - 1] = static_cast<Cause>(i);
    return rules;
}
constexpr std::array<Cause, kCauseCount - 1> kRules = MakeRules();

}  // namespace

const CauseText& Describe(Cause cause) {
    return kCauses[static_cast<std::size_t>(cause)];
}

std::span<const Cause> Rules() {
    return kRules;
}

std::string FixOf(Cause cause) {
    const CauseText& text = Describe(cause);
    constexpr std::string_view kZelfmt = "run zelfmt";
    std::string fix(text.fix);
    if (text.mend == Mend::zelfmt) {
        if (!fix.empty()) fix += ", or ";
        fix += kZelfmt;
    }
    return fix;
}

std::string CauseAndFix(Cause cause) {
    std::string words = "; cause: ";
    words += Describe(cause).what;
    words += "; fix: ";
    words += FixOf(cause);
    return words;
}

std::string RuleTag(Cause cause) {
    std::string tag = " [";
    tag += Describe(cause).rule;
    tag += ']';
    return tag;
}

std::string Explained(std::string what, Cause cause) {
    what += CauseAndFix(cause);
    what += RuleTag(cause);
    return what;
}

}  // namespace zelreport::xml
