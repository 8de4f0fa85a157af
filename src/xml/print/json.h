// SPDX-License-Identifier: MIT
// Writing JSON texts: strings escaped, whatever bytes they hold.
#pragma once

#include <string>
#include <string_view>

namespace zelreport::xml {

// Appends `text` as a JSON string. Valid UTF-8 goes as it is; a byte that
// is not part of it goes as the character of that number (Latin-1), so
// the result is always valid JSON.
void AppendJsonString(std::string& out, std::string_view text);

// `path` as a URI reference: relative paths stay relative, absolute ones
// become file URIs; bytes outside the unreserved set are percent-encoded.
std::string PathUri(std::string_view path);

}  // namespace zelreport::xml
