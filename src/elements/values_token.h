// SPDX-License-Identifier: MIT
// The bytes of a values token that could not be converted where it lay in
// the input: it ran across input blocks, or is not a plain number.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "elements/long_token.h"

namespace zelreport {

class ValuesToken {
public:
    // Tokens longer than this are kept in their bounded form, so that
    // memory does not grow with a token.
    static constexpr std::size_t kLongTokenBytes = 4096;

    // Starts a values text whose tokens are integers or floats.
    void Reset(bool integer) {
        integer_ = integer;
        clear();
    }
    bool empty() const { return bytes_.empty() && !long_; }
    void clear() {
        bytes_.clear();
        long_.reset();
    }
    void Append(const char* begin, const char* end) {
        if (long_) return long_->Feed(begin, end);
        bytes_.append(begin, end);
        if (bytes_.size() > kLongTokenBytes) GoLong();
    }
    void Append(char byte) {
        if (long_) return long_->Feed(&byte, &byte + 1);
        bytes_ += byte;
        if (bytes_.size() > kLongTokenBytes) GoLong();
    }
    // The token, or a short one that converts as it does.
    std::string_view text();

private:
    void GoLong();

    bool integer_ = false;
    std::string bytes_;
    std::optional<LongToken> long_;
};

}  // namespace zelreport
