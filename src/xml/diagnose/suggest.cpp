// SPDX-License-Identifier: MIT
#include "xml/diagnose/suggest.h"

#include <algorithm>
#include <vector>

#include "xml/read/element_names.h"

namespace zelreport::xml {

namespace {

// How far apart two names are: 0 the same, 1 one change between
// look-alikes, 2 any other single edit, 3 more.
enum Distance { kSame = 0, kLookAlike = 1, kOneEdit = 2, kFar = 3 };

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool LookAlike(char a, char b) {
    constexpr std::string_view kPairs[] = {"l1", "i1", "o0"};
    for (std::string_view pair : kPairs)
        if ((a == pair[0] && b == pair[1]) || (a == pair[1] && b == pair[0])) return true;
    return false;
}

Distance Apart(std::string_view a, std::string_view b) {
    if (a == b) return kSame;
    if (a.size() == b.size()) {
        std::size_t first = 0;
        while (a[first] == b[first]) ++first;
        if (a.substr(first + 1) == b.substr(first + 1))
            return LookAlike(a[first], b[first]) ? kLookAlike : kOneEdit;
        bool swapped = first + 1 < a.size() && a[first] == b[first + 1] && a[first + 1] == b[first] &&
                       a.substr(first + 2) == b.substr(first + 2);
        return swapped ? kOneEdit : kFar;
    }
    if (a.size() + 1 != b.size() && b.size() + 1 != a.size()) return kFar;
    std::string_view shorter = a.size() < b.size() ? a : b, longer = a.size() < b.size() ? b : a;
    std::size_t first = 0;
    while (first < shorter.size() && shorter[first] == longer[first]) ++first;
    return shorter.substr(first) == longer.substr(first + 1) ? kOneEdit : kFar;
}

std::vector<std::string_view> KnownNames() {
    std::vector<std::string_view> names{kRootName, kRecordName, kDataName, kValuesName};
    for (const FieldInfo& field : kFields)
        if (field.kind != FieldKind::absent) names.push_back(field.name);
    return names;
}

}  // namespace

std::string Suggest(std::string_view name) {
    std::size_t colon = name.rfind(':');
    if (colon != std::string_view::npos) name.remove_prefix(colon + 1);
    std::string lowered(name);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(), Lower);
    static const std::vector<std::string_view> kKnown = KnownNames();
    Distance best = kFar;
    std::vector<std::string_view> nearest;
    for (std::string_view known : kKnown) {
        Distance d = Apart(lowered, known);
        if (d > best || d == kFar) continue;
        if (d < best) nearest.clear();
        best = d;
        nearest.push_back(known);
    }
    std::string text;
    for (std::size_t i = 0; i < nearest.size(); ++i) {
        if (i > 0) text += i + 1 == nearest.size() ? " or " : ", ";
        text += '<';
        text += nearest[i];
        text += '>';
    }
    return text;
}

}  // namespace zelreport::xml
