// SPDX-License-Identifier: MIT
#include "xml/print/json.h"

#include <cstdio>

#include "xml/common/show.h"

namespace zelreport::xml {

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = p + text.size();
    while (p < end) {
        unsigned char b = *p;
        if (b >= 0x80) {
            if (std::size_t n = Utf8Length(p, end)) {
                out.append(reinterpret_cast<const char*>(p), n);
                p += n;
                continue;
            }
            // The byte as a Latin-1 character, in UTF-8.
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        } else if (b == '"' || b == '\\') {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", b);
            out += escape;
        } else {
            out += static_cast<char>(b);
        }
        ++p;
    }
    out += '"';
}

std::string PathUri(std::string_view path) {
    std::string uri = path.starts_with('/') ? "file://" : "";
    for (char c : path) {
        bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (unreserved) {
            uri += c;
            continue;
        }
        char escape[4];
        std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(c));
        uri += escape;
    }
    return uri;
}

}  // namespace zelreport::xml
