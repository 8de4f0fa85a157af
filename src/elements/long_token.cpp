// SPDX-License-Identifier: MIT
#include "elements/long_token.h"

#include <algorithm>
#include <string_view>

#include "elements/c_scan.h"
#include "elements/values_token.h"

namespace zelreport {

namespace {

// A compact form's exponent beyond this gives 0 or infinity too.
constexpr std::int64_t kMaxCompactExponent = 100'000;

int HexValue(unsigned char b) {
    if (IsDigit(static_cast<char>(b))) return b - '0';
    b = static_cast<unsigned char>(b | 0x20);
    return b >= 'a' && b <= 'f' ? b - 'a' + 10 : -1;
}

// True when `word` (lower case) can still become "inf", "infinity" or "nan".
bool IsWordPrefix(std::string_view word) {
    return std::string_view("infinity").starts_with(word) || std::string_view("nan").starts_with(word);
}

}  // namespace

void LongToken::Digit(int value) {
    const std::int64_t place = hex_ ? 4 : 1;  // a hex digit stands for four bits
    any_digit_ = true;
    bool fraction = state_ == State::fraction;
    if (digits_.empty() && value == 0) {
        // A leading zero: before the point it changes nothing, after it
        // the significant digits stand one place lower.
        if (fraction) scale_ -= place;
        return;
    }
    std::size_t kept = integer_ ? kKeptIntDigits : hex_ ? kKeptHexDigits : kKeptDigits;
    if (digits_.size() < kept)
        digits_ += "0123456789abcdef"[value];
    else
        sticky_ = sticky_ || value != 0;
    if (!fraction) scale_ += place;
}

// Once the kept digits are full, a run of decimal digits only counts:
// taken here a run at a time rather than byte by byte.
const char* LongToken::SkipDroppedDigits(const char* q, const char* end) {
    bool full = digits_.size() == (integer_ ? kKeptIntDigits : kKeptDigits);
    if (!full || hex_ || (state_ != State::integer && state_ != State::fraction)) return q;
    const char* run = q;
    for (; q < end && IsDigit(*q); ++q) sticky_ = sticky_ || *q != '0';
    if (state_ == State::integer) scale_ += q - run;
    return q;
}

void LongToken::Feed(const char* begin, const char* end) {
    for (const char* q = begin; q < end && state_ != State::done;) {
        q = SkipDroppedDigits(q, end);
        if (q < end) Feed(static_cast<unsigned char>(*q++));
    }
}

void LongToken::Finish(unsigned char b) {
    if (state_ == State::word) word_ += static_cast<char>(b);
    state_ = State::done;
}

void LongToken::Feed(unsigned char b) {
    switch (state_) {
        case State::space:
            if (IsCSpace(b)) return;
            state_ = State::sign;
            if (b == '+' || b == '-') {
                sign_ = static_cast<char>(b);
                return;
            }
            [[fallthrough]];
        case State::sign:
            if (IsDigit(static_cast<char>(b))) {
                state_ = State::integer;
                only_zero_ = b == '0';
                Digit(b - '0');
            } else if (integer_) {
                Finish(b);
            } else if (b == '.') {
                state_ = State::fraction;
                point_ = true;
            } else if (IsWordPrefix(std::string(1, static_cast<char>(b | 0x20)))) {
                state_ = State::word;
                word_ += static_cast<char>(b);
            } else {
                Finish(b);
            }
            return;
        case State::integer:
        case State::fraction: {
            int value = hex_ ? HexValue(b) : IsDigit(static_cast<char>(b)) ? b - '0' : -1;
            if (value >= 0 && !(integer_ && state_ == State::fraction)) {
                only_zero_ = false;
                Digit(value);
            } else if (integer_) {
                Finish(b);
            } else if (only_zero_ && (b == 'x' || b == 'X')) {
                // "0x" opens a hex float, whose digits are yet to come.
                hex_ = true;
                only_zero_ = any_digit_ = false;
            } else if (b == '.' && state_ == State::integer) {
                state_ = State::fraction;
                point_ = true;
                only_zero_ = false;
            } else if ((b | 0x20) == (hex_ ? 'p' : 'e')) {
                state_ = State::exponent;
            } else {
                Finish(b);
            }
            return;
        }
        case State::exponent:
            if (b == '+' || b == '-') {
                exponent_negative_ = b == '-';
                state_ = State::exponent_sign;
                return;
            }
            [[fallthrough]];
        case State::exponent_sign:
        case State::exponent_digits:
            // An exponent letter without digits counts for nothing.
            if (!IsDigit(static_cast<char>(b))) return Finish(b);
            state_ = State::exponent_digits;
            exponent_ = std::min(exponent_ * 10 + (b - '0'), kMaxExponentValue);
            return;
        case State::word: {
            std::string lower = word_ + static_cast<char>(b);
            std::transform(lower.begin(), lower.end(), lower.begin(), [](char ch) { return ch | 0x20; });
            if (!IsWordPrefix(lower)) return Finish(b);
            word_ += static_cast<char>(b);
            // "nan" and "infinity" are whole: nothing after them counts.
            if (lower == "nan" || lower == "infinity") state_ = State::done;
            return;
        }
        case State::done:
            return;
    }
}

std::string LongToken::Compact() const {
    std::string token = sign_ ? std::string(1, sign_) : std::string();
    if (integer_) return token + (digits_.empty() ? "0" : digits_);
    if (!word_.empty()) return token + word_;
    if (hex_) token += "0x";
    // No digit at all: "0x" does not match, "0x." does.
    if (!any_digit_) return token + (point_ ? "." : "");
    if (digits_.empty()) return token + "0";
    std::int64_t exponent = scale_ + (exponent_negative_ ? -exponent_ : exponent_);
    exponent = std::clamp(exponent, -kMaxCompactExponent, kMaxCompactExponent);
    return token + "0." + digits_ + (sticky_ ? "1" : "") + (hex_ ? "p" : "e") + std::to_string(exponent);
}

void ValuesToken::GoLong() {
    long_.emplace(integer_);
    long_->Feed(bytes_.data(), bytes_.data() + bytes_.size());
    std::string().swap(bytes_);
}

std::string_view ValuesToken::text() {
    if (long_) bytes_ = long_->Compact();
    return bytes_;
}

}  // namespace zelreport
