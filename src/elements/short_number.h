// SPDX-License-Identifier: MIT
// Short numbers read straight from the input block with a word load or
// two: the common case of a values token, at a small constant cost.
#pragma once

#include <array>
#include <bit>
#include <cassert>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "elements/digits.h"
#include "elements/exact_float.h"
#include "elements/text_rules.h"
#include "reader/sweep.h"

namespace zelreport {

// Bytes from a token's start that the readers below may look at: sign,
// two runs of up to sixteen digits each loaded as two words, the point,
// an exponent letter and sign with a word of digits, and the two bytes
// after the number.
constexpr std::ptrdiff_t kShortNumberReach = 48;
// Bytes before a token's start that ParseFloatInPlace may load: it reads
// the sixteen bytes that end where the number's digits end, and the
// sixteen that end one byte earlier.
constexpr std::ptrdiff_t kShortNumberLookBack = 16;

namespace short_number {

// An exponent of up to this many digits is read here.
constexpr int kMaxExponentDigits = 3;
// A run of digits: how many (up to 16) and the number they write.
struct DigitRun {
    int count;
    std::uint64_t value;
};

// Reads the run of digits at `p` with one word load, or two when the run
// is longer than eight digits; a run of sixteen may go on beyond them.
inline DigitRun ReadDigitRun(const char* p) {
    std::uint64_t first = Load8(p), second = Load8(p + 8);
    int head = LeadingDigits(first);
    int tail = head == 8 ? LeadingDigits(second) : 0;
    return {head + tail, DigitsValue(first, head) * kPowersOfTen[tail] + DigitsValue(second, tail)};
}

// With `r` on the byte after a mantissa: reads an exponent of up to three
// digits there into `exponent`. Returns the end of the number, or nullptr
// for an exponent read the general way.
inline const char* ReadShortExponent(const char* r, int& exponent) {
    if ((*r | 0x20) != 'e') return r;
    const char* digits = r + 1 + (r[1] == '-' || r[1] == '+');
    std::uint64_t word = Load8(digits);
    int count = LeadingDigits(word);
    if (count == 0 || count > kMaxExponentDigits) return nullptr;
    int written = static_cast<int>(DigitsValue(word, count));
    exponent += r[1] == '-' ? -written : written;
    return digits + count;
}

// With `r` on the byte after a mantissa: reads an exponent there, checks
// that the token surely ends and rounds. Returns the end, or nullptr.
// Out of line: the usual number has no exponent, and the loops that read
// it keep their registers.
[[gnu::noinline]] inline const char* FinishShortFloat(const char* r, const char* end, std::uint64_t mantissa,
                                                      int exponent, bool negative, float& value) {
    r = ReadShortExponent(r, exponent);
    if (!r || !EndsToken(r, end) || !DecimalToFloat(mantissa, exponent, negative, value)) return nullptr;
    return r;
}

}  // namespace short_number

// Reads [-]digits[.digits][e[-+]digits] with one to fifteen digits on
// each side of the point, nineteen in all (a 64-bit mantissa holds them),
// and one to three in the exponent, ending where `EndsToken` says the
// token surely ends; rounds it as DecimalToFloat does. `q` needs
// kShortNumberReach readable bytes after it. Returns the end, or nullptr
// for anything else. The first rung of the float readers where SSE2 is
// missing (see number.h).
inline const char* ParseShortFloat(const char* q, const char* end, float& value) {
    using namespace short_number;
    bool negative = *q == '-';
    const char* p = q + negative;
    DigitRun integer = ReadDigitRun(p);
    const char* r = p + integer.count;
    std::uint64_t mantissa = integer.value;
    int scale = 0;
    if (*r == '.') {
        DigitRun fraction = ReadDigitRun(r + 1);
        scale = fraction.count;
        mantissa = mantissa * kPowersOfTen[scale] + fraction.value;
        r += 1 + fraction.count;
    }
    if (integer.count + scale == 0 || integer.count + scale > 19 || integer.count == 16 || scale == 16)
        return nullptr;
    return FinishShortFloat(r, end, mantissa, -scale, negative, value);
}

// The bytes a sign takes before an integer's digits, and the factor it
// gives them.
inline constexpr std::array<bool, 256> kSignBytes = ByteTable({'-', '+'});
inline constexpr std::array<std::int8_t, 256> kSignFactors = [] {
    std::array<std::int8_t, 256> factors{};
    factors.fill(1);
    factors['-'] = -1;
    return factors;
}();

#if defined(__SSE2__)
#define ZELREPORT_IN_PLACE 1

namespace short_number {

// Digits and point of a number read in one 16-byte window, of which at
// most fifteen digits: their value is below 10^15, an exact double.
constexpr int kWindowBytes = 16;
constexpr unsigned kMaxWindowDigits = 15;

// The tables the window's readers look up, together, so that one base
// address serves them all.
struct WindowTables {
    // 16 zero bytes, then 16 bytes of 0x0F: the 16 bytes from place t keep
    // a digit's value in the last t bytes of a window and clear the rest.
    unsigned char digits_kept[2 * kWindowBytes];
    // The same with 0xFF: the places of the last t bytes.
    unsigned char last_places[2 * kWindowBytes];
    // 10^0 to 10^15, each followed by its negation: a quotient by one of
    // them takes the sign of the number, zero included.
    double signed_powers[2 * kWindowBytes];
};
alignas(64) inline constexpr WindowTables kWindowTables = {
    {0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
     0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F, 0x0F},
    {0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
    {1e0, -1e0, 1e1, -1e1, 1e2,  -1e2,  1e3,  -1e3,  1e4,  -1e4,  1e5,  -1e5,  1e6,  -1e6,  1e7,  -1e7,
     1e8, -1e8, 1e9, -1e9, 1e10, -1e10, 1e11, -1e11, 1e12, -1e12, 1e13, -1e13, 1e14, -1e14, 1e15, -1e15}};

inline __m128i LastBytes(const unsigned char* table, unsigned count) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + count));
}

// Bit k set when byte k of the 16 at `p` is not a digit; bit 16 set too,
// so that the first set bit is at most 16.
inline unsigned NonDigits(const char* p) {
    return Bytes16(p).Outside<'0', '9'>() | 1u << kWindowBytes;
}

// The numbers written by the first and the last eight of the last
// `digits` bytes of `window` (at most sixteen digits, the first byte the
// most significant), in the low and high half of a word: their values
// kept, then digit pairs, fours and eights combined by multiplies.
inline std::uint64_t WindowHalves(__m128i window, unsigned digits) {
    __m128i values = _mm_and_si128(window, LastBytes(kWindowTables.digits_kept, digits));
    // Per 16-bit lane, (first + 256 * second) * 0x0A01 has 10 * first + second
    // in its high byte. The factor is hidden from the compiler, which would
    // otherwise spell the one multiply as five shifts and adds.
    __m128i pair_factor = _mm_set1_epi16(0x0A01);
    __asm__("" : "+x"(pair_factor));
    __m128i pairs = _mm_srli_epi16(_mm_mullo_epi16(values, pair_factor), 8);
    // The first of two lanes is the more significant.
    __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32(100 + (1 << 16)));
    __m128i eights = _mm_madd_epi16(_mm_packs_epi32(fours, fours), _mm_set1_epi32(10000 + (1 << 16)));
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(eights));
}

// The number written by the last `digits` bytes of `window`, as above.
inline std::uint64_t WindowValue(__m128i window, unsigned digits) {
    constexpr std::uint64_t kHundredMillion = 100000000;
    std::uint64_t halves = WindowHalves(window, digits);
    return (halves & 0xFFFFFFFF) * kHundredMillion + (halves >> 32);
}

// The same for at most eight digits, which the second half holds.
inline std::uint32_t ShortWindowValue(__m128i window, unsigned digits) {
    assert(digits <= 8);
    return static_cast<std::uint32_t>(WindowHalves(window, digits) >> 32);
}

// The sixteen bytes that end at `last`.
inline __m128i WindowEndingAt(const char* last) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(last - kWindowBytes));
}

// The number written by the `digits` digits (1 to 15) that end at `last`,
// the last `fraction` of them after a point when `point`. The sixteen
// bytes up to `last` hold the digits after the point in their places, the
// sixteen up to `point` bytes earlier those before it: one load of each,
// the places taken from the one or the other by a mask.
inline std::uint64_t DigitsEndingAt(const char* last, unsigned digits, bool point, unsigned fraction) {
    __m128i after = WindowEndingAt(last);
    __m128i before = WindowEndingAt(last - point);
    __m128i from_point = LastBytes(kWindowTables.last_places, fraction);
    return WindowValue(_mm_xor_si128(before, _mm_and_si128(_mm_xor_si128(before, after), from_point)),
                       digits);
}

}  // namespace short_number

// The first rung of the float readers (see number.h). As ParseShortFloat,
// for numbers of at most fifteen digits whose sign, digits and point fit
// sixteen bytes, in one pass: the places of the point and the end from the
// sixteen bytes at the number's start, the digits' value from two loads
// that end where they end. The sign is read beside those bytes, not before
// them, so that the next number's place waits only on this one's end. `q`
// needs kShortNumberLookBack readable bytes before it and
// kShortNumberReach after it.
[[gnu::always_inline]] inline const char* ParseFloatInPlace(const char* q, const char* end, float& value) {
    using namespace short_number;
    const unsigned negative = *q == '-';
    const Bytes16 window(q);
    // The sign is no non-digit here: its mark goes.
    const unsigned non_digits = (window.Outside<'0', '9'>() | 1u << kWindowBytes) ^ negative;
    const auto integer = static_cast<unsigned>(std::countr_zero(non_digits));
    const unsigned point = window.AnyOf<'.'>() >> integer & 1;
    // With a point, the number ends at the second non-digit.
    const auto length = static_cast<unsigned>(std::countr_zero(non_digits & (non_digits - point)));
    const unsigned digits = length - negative - point;
    // One to fifteen digits: the end of the window ends them, and the byte
    // after it must end the number.
    if (digits - 1 >= kMaxWindowDigits) return nullptr;
    const unsigned fraction = length - integer - point;
    const char* last = q + length;
    std::uint64_t mantissa = DigitsEndingAt(last, digits, point, fraction);
    // Below 10^15 and divided by at most 10^15: both exact doubles. Rounded
    // before the end is tested, so that a caller who tests for the usual
    // blank again finds it already answered; an exponent rounds again.
    bool rounded = exact_float::RoundQuotientToFloat(
        static_cast<double>(mantissa), kWindowTables.signed_powers[2 * fraction + negative], value);
    if (*last == ' ' || EndsToken(last, end)) return rounded ? last : nullptr;
    return FinishShortFloat(last, end, mantissa, -static_cast<int>(fraction), negative, value);
}

// The integer readers' rung for a run of values, straight from the input
// block: [-+]digits with one to eight digits (no value beyond the 32-bit
// range) that surely end their token, the sign beside the sixteen bytes at
// the number's start and the digits' value from one load that ends where
// they end. `q` needs kShortNumberLookBack readable bytes before it and
// kShortNumberReach after it.
[[gnu::always_inline]] inline const char* ParseIntInPlace(const char* q, const char* end,
                                                          std::int32_t& value) {
    using namespace short_number;
    constexpr unsigned kMaxDigits = 8;
    const auto first = static_cast<unsigned char>(*q);
    const unsigned sign = kSignBytes[first];
    const unsigned non_digits = (Bytes16(q).Outside<'0', '9'>() | 1u << kWindowBytes) ^ sign;
    const auto length = static_cast<unsigned>(std::countr_zero(non_digits));
    const unsigned digits = length - sign;
    if (digits - 1 >= kMaxDigits) return nullptr;
    const char* last = q + length;
    value = static_cast<std::int32_t>(ShortWindowValue(WindowEndingAt(last), digits)) * kSignFactors[first];
    // Tested last, so that a caller who tests for the usual blank again
    // finds it already answered.
    return *last == ' ' || EndsToken(last, end) ? last : nullptr;
}

#endif

// Reads [-+]digits with at most seven digits; returns the end of the
// digits, which the caller must check ends the token, or nullptr.
inline const char* ReadShortInt(const char* q, std::int32_t& value) {
    bool negative = *q == '-';
    const char* p = q + kSignBytes[static_cast<unsigned char>(*q)];
    std::uint64_t word = Load8(p);
    int digits = LeadingDigits(word);
    if (digits == 0 || digits == 8) return nullptr;
    // One to seven digits: moved to the top of the word by a shift below 64.
    auto magnitude = static_cast<std::int32_t>(EightDigitsValue((word - kZeroDigits) << (8 * (8 - digits))));
    value = negative ? -magnitude : magnitude;
    return p + digits;
}

// As ReadShortInt, ending where `EndsToken` says the token surely ends;
// nullptr for anything else.
inline const char* ParseShortInt(const char* q, const char* end, std::int32_t& value) {
    const char* r = ReadShortInt(q, value);
    return r && (*r == ' ' || EndsToken(r, end)) ? r : nullptr;
}

}  // namespace zelreport
