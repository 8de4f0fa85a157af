// SPDX-License-Identifier: MIT
// The bytes of a values token that could not be converted where it lay in
// the input: it ran across input blocks, or is not a plain number.
#pragma once

#include <string>
#include <string_view>

namespace zelreport {

class ValuesToken {
public:
    bool empty() const { return bytes_.empty(); }
    void clear() { bytes_.clear(); }
    void Append(const char* begin, const char* end) { bytes_.append(begin, end); }
    void Append(char byte) { bytes_ += byte; }
    std::string_view text() const { return bytes_; }

private:
    std::string bytes_;
};

}  // namespace zelreport
