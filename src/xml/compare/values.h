// SPDX-License-Identifier: MIT
// A values text converted token by token exactly as zelreport converts a
// token, with the data type's conversion.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "elements/number.h"
#include "elements/short_number.h"
#include "xml/read/content.h"
#include "xml/read/values_text.h"

namespace zelreport::xml {

namespace values_detail {

// A short number with word loads where the text leaves room for them,
// else digit run by digit run; the caller checks that the number fills
// its token.
inline const char* ReadPlain(const char* p, const char* end, float& value) {
    if (end - p > kShortNumberReach)
        if (const char* stop = ParseShortFloat(p, end, value)) return stop;
    return ParsePlainFloat(p, end, value);
}
inline const char* ReadPlain(const char* p, const char* end, std::int32_t& value) {
    if (end - p > kShortNumberReach)
        if (const char* stop = ParseShortInt(p, end, value)) return stop;
    return ParsePlainInt(p, end, value);
}
inline void Convert(std::string_view token, std::string& scratch, float& value) {
    value = ConvertFloat(token, scratch);
}
inline void Convert(std::string_view token, std::string&, std::int32_t& value) {
    value = ConvertInt(token);
}

}  // namespace values_detail

// Calls `take(value)` for each token of `text` (split at XML white space)
// converted to T (float or std::int32_t). A plain number that fills its
// token is read in place, which gives what the general conversion gives,
// in one pass; anything else goes through the general conversion.
template <typename T, typename Take>
void ForEachValue(std::string_view text, Take&& take) {
    std::string scratch;
    const char* p = text.data();
    const char* const end = p + text.size();
    for (;;) {
        while (p < end && IsXmlSpace(*p)) ++p;
        if (p == end) return;
        T value;
        const char* stop = values_detail::ReadPlain(p, end, value);
        if (!stop || (stop < end && !IsXmlSpace(*stop))) {
            stop = p;
            while (stop < end && !IsXmlSpace(*stop)) ++stop;
            values_detail::Convert(std::string_view(p, static_cast<std::size_t>(stop - p)), scratch, value);
        }
        take(value);
        p = stop;
    }
}

template <typename T, typename Take>
void ForEachValue(const ValuesText& text, Take&& take) {
    text.ForEachBlock([&](std::string_view block) { ForEachValue<T>(block, take); });
}

}  // namespace zelreport::xml
