// SPDX-License-Identifier: MIT
#include "xml/common/show.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace zelreport::xml {

namespace {

// Texts are shown up to this many bytes.
constexpr std::size_t kShownBytes = 40;

}  // namespace

std::size_t Utf8Length(const unsigned char* p, const unsigned char* end) {
    std::size_t n = *p >= 0xF0 && *p <= 0xF4 ? 4 : *p >= 0xE0 ? 3 : *p >= 0xC2 && *p <= 0xDF ? 2 : 0;
    if (n == 0 || static_cast<std::size_t>(end - p) < n) return 0;
    for (std::size_t i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80) return 0;
    return n;
}

std::string ShowText(const std::string* text, std::uint64_t size) {
    if (!text) return "nothing";
    std::string shown = "\"";
    const auto* p = reinterpret_cast<const unsigned char*>(text->data());
    const unsigned char* end = p + std::min<std::size_t>(text->size(), kShownBytes);
    while (p < end) {
        unsigned char b = *p;
        std::size_t utf8 = b >= 0x80 ? Utf8Length(p, end) : 0;
        if (utf8 > 0) {
            shown.append(reinterpret_cast<const char*>(p), utf8);
            p += utf8;
            continue;
        }
        ++p;
        if (b == '"' || b == '\\') {
            shown += '\\';
            shown += static_cast<char>(b);
        } else if (b == '\n') {
            shown += "\\n";
        } else if (b == '\r') {
            shown += "\\r";
        } else if (b == '\t') {
            shown += "\\t";
        } else if (b < 0x20 || b >= 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", b);
            shown += escape;
        } else {
            shown += static_cast<char>(b);
        }
    }
    if (size > kShownBytes) shown += "...";
    shown += '"';
    if (size > kShownBytes) shown += " (" + std::to_string(size) + " bytes)";
    return shown;
}

std::string ShowTag(std::string_view name) {
    std::string text = "<";
    text.append(name.substr(0, kShownNameBytes));
    if (name.size() > kShownNameBytes) text += "...";
    text += '>';
    return text;
}

std::string ShowNumber(std::int64_t value) {
    return std::to_string(value);
}

// The shortest spelling that reads back as the same float.
std::string ShowFloat(float value) {
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

}  // namespace zelreport::xml
