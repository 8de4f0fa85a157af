// SPDX-License-Identifier: MIT
// A values token too long to hold, kept in a bounded form that converts
// exactly as the whole token would.
#pragma once

#include <cstdint>
#include <string>

namespace zelreport {

// A float token keeps its sign, its first kKeptDigits significant digits,
// whether any non-zero digit follows them, and its exponent; an integer
// token its sign and the digits up to saturation. Past the point where
// the number cannot go on, nothing is kept: the conversion stops there.
class LongToken {
public:
    // Significant digits that decide the rounding of any decimal to float
    // (far fewer are ever needed), and of a hex float (64 bits' worth).
    static constexpr std::size_t kKeptDigits = 800;
    static constexpr std::size_t kKeptHexDigits = 16;
    // Digits of an integer token that already saturate 32 bits.
    static constexpr std::size_t kKeptIntDigits = 12;

    explicit LongToken(bool integer) : integer_(integer) {}

    void Feed(const char* begin, const char* end);
    // A short token that converts as the bytes fed so far.
    std::string Compact() const;

private:
    enum class State {
        space,     // leading white space, skipped by the conversion
        sign,      // after the sign
        integer,   // digits before a point
        fraction,  // digits after a point
        exponent,  // after the exponent letter
        exponent_sign,
        exponent_digits,
        word,  // letters of inf, infinity or nan
        done,  // the number cannot go on: the rest does not count
    };
    void Feed(unsigned char b);
    void Digit(int value);
    void Finish(unsigned char b);
    const char* SkipDroppedDigits(const char* q, const char* end);

    const bool integer_;
    State state_ = State::space;
    bool hex_ = false;
    char sign_ = 0;
    std::string word_;    // letters of a word, or what ends the number
    std::string digits_;  // significant digits kept
    bool any_digit_ = false;
    bool point_ = false;
    bool only_zero_ = false;  // the integer digits so far are one "0"
    bool sticky_ = false;     // a non-zero digit beyond those kept
    std::int64_t scale_ = 0;  // digits (hex: bits) the kept ones stand above the point
    bool exponent_negative_ = false;
    std::int64_t exponent_ = 0;  // saturated
};

}  // namespace zelreport
