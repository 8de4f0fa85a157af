// SPDX-License-Identifier: MIT
// The names that give a document its structure: the root, a record, the
// record's data and its values; and the closing tags of the root and of a
// record, which the document loop tests for by name.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace zelreport {

inline constexpr std::string_view kRootName = "orv-standard-file";
inline constexpr std::string_view kRecordName = "zelrecord";
inline constexpr std::string_view kDataName = "zeldata";
inline constexpr std::string_view kValuesName = "values";

namespace element_names {

// "/" and the name: its closing tag as the document loop reads it.
template <const std::string_view& kName>
inline constexpr auto kClosingBytes = [] {
    std::array<char, kName.size() + 1> tag{'/'};
    std::copy(kName.begin(), kName.end(), tag.begin() + 1);
    return tag;
}();

// The name followed by zero bytes up to a word at least, so that a reader
// may compare it with one eight-byte load.
template <const std::string_view& kName>
inline constexpr auto kPaddedBytes = [] {
    std::array<char, std::max<std::size_t>(kName.size(), 8)> padded{};
    std::copy(kName.begin(), kName.end(), padded.begin());
    return padded;
}();

}  // namespace element_names

template <const std::string_view& kName>
inline constexpr std::string_view kClosingName{element_names::kClosingBytes<kName>.data(),
                                               element_names::kClosingBytes<kName>.size()};
inline constexpr std::string_view kRootEndName = kClosingName<kRootName>;
inline constexpr std::string_view kRecordEndName = kClosingName<kRecordName>;

// The name, with eight bytes to load from its start whatever its length.
template <const std::string_view& kName>
inline constexpr std::string_view kPaddedName{element_names::kPaddedBytes<kName>.data(), kName.size()};

}  // namespace zelreport
