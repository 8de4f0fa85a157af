// SPDX-License-Identifier: MIT
#include "xml/read/content.h"

#include "xml/common/limits.h"

namespace zelreport::xml {

std::optional<std::int32_t> ParseInteger(std::string_view content) {
    constexpr std::int64_t kLowest = -(std::int64_t{1} << 31);
    constexpr std::int64_t kHighest = (std::int64_t{1} << 32) - 1;
    std::size_t i = 0, end = content.size();
    while (i < end && IsXmlSpace(content[i])) ++i;
    while (end > i && IsXmlSpace(content[end - 1])) --end;
    bool negative = i < end && content[i] == '-';
    if (i < end && (content[i] == '-' || content[i] == '+')) ++i;
    if (i == end) return std::nullopt;
    std::int64_t magnitude = 0;
    for (; i < end; ++i) {
        if (content[i] < '0' || content[i] > '9') return std::nullopt;
        magnitude = magnitude * 10 + (content[i] - '0');
        if (magnitude > kHighest + 1) return std::nullopt;  // far out of range already
    }
    std::int64_t value = negative ? -magnitude : magnitude;
    if (value < kLowest || value > kHighest) return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

Cause TextHazard(Field field, std::string_view text, std::uint64_t size) {
    constexpr std::string_view kFourSpaces = "    ";
    constexpr std::string_view kNomvarWithGt = ">>";  // what zelreport makes of any nomvar with ">"
    if (size > kTextLimit) return Cause::long_text;
    // "<" and "&" need an entity in XML, which zelreport reads as written,
    // and so does a carriage return: XML reads a written one as a line feed.
    if (text.find_first_of("<&\r") != std::string_view::npos) return Cause::reference_in_text;
    // The byte after the opening tag is stored whatever it is; a later line
    // break ends the text.
    if (text.find('\n', 1) != std::string_view::npos) return Cause::line_break_in_text;
    if (text.empty() || text == kFourSpaces) return Cause::empty_text;
    // A ">" after the first byte ends the text.
    bool nomvar = field == Field::nomvar;
    if (nomvar && text == kNomvarWithGt) return Cause::none;
    if (text.find('>', 1) != std::string_view::npos || (nomvar && text[0] == '>')) return Cause::gt_in_text;
    return Cause::none;
}

}  // namespace zelreport::xml
