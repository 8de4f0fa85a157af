// The values element: its text is split into tokens and converted as it
// streams in, so only the numbers are kept (4 bytes each).
#include <array>
#include <new>

#include "elements/elements.h"
#include "elements/number.h"
#include "reader/context.h"

namespace zelreport {

namespace {

// Room reserved up front from the declared ni * nj * nk is capped: a
// declaration alone must not claim unbounded memory. Fuzzing builds cap it
// low, so that tiny documents declaring huge arrays stay fast to run.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr std::uint32_t kMaxReservedEntries = 1u << 16;
#else
constexpr std::uint32_t kMaxReservedEntries = 64u << 20;
#endif

enum ByteClass : unsigned char { kTokenByte, kSeparator, kSpecial };

// Within a run of token bytes, everything that may end or bend a token:
// the separators, the bytes the reading rules look at, and the zero byte.
constexpr std::array<ByteClass, 256> MakeClasses() {
    std::array<ByteClass, 256> classes{};
    classes[' '] = classes['\t'] = kSeparator;
    classes['\n'] = classes['\r'] = classes['<'] = classes['>'] = classes['\0'] = kSpecial;
    return classes;
}
constexpr std::array<ByteClass, 256> kClass = MakeClasses();

// The text as stored: tokens split at " \t\n", ended by a zero byte.
class ValuesText {
public:
    explicit ValuesText(Context& ctx) : ctx_(ctx), record_(ctx.record), type_(ctx.record.datyp) {
        ctx_.token.clear();
    }

    bool stored_any() const { return stored_any_; }
    std::int32_t type() const { return type_; }
    // True while bytes still count: the text has begun and no zero byte
    // has ended it.
    bool open() const { return started_ && !ended_; }
    bool pending_empty() const { return ctx_.token.empty(); }
    // Gathers token bytes only for a data type that converts them: with
    // no array to fill, a long token would otherwise be held for nothing.
    void Gather(const char* begin, const char* end) {
        if (converts()) ctx_.token.append(begin, end);
    }
    bool converts() const { return type_ == 1 || type_ == 5 || type_ == 2; }

    void Store(unsigned char b) {
        stored_any_ = true;
        if (ended_) return;
        if (b == 0) {
            // An empty text (zero first byte) stores nothing at all.
            EndToken();
            ended_ = true;
            return;
        }
        if (!started_) Start();
        if (kClass[b] == kSeparator || b == '\n')
            EndToken();
        else if (converts())
            ctx_.token += static_cast<char>(b);
    }

    void Append(float value) { record_.floatdata.push_back(value); }
    void Append(std::int32_t value) { record_.intdata.push_back(value); }

    void Convert(std::string_view token) {
        if (type_ == 1 || type_ == 5)
            record_.floatdata.push_back(ConvertFloat(token, ctx_.scratch));
        else if (type_ == 2)
            record_.intdata.push_back(ConvertInt(token));
    }

    void EndToken() {
        if (ctx_.token.empty()) return;
        Convert(ctx_.token);
        ctx_.token.clear();
    }

private:
    // A non-empty text replaces the array its data type selects.
    void Start() {
        started_ = true;
        ctx_.token.clear();
        if (type_ == 1 || type_ == 5) {
            record_.floatdata.clear();
            record_.has_floatdata = true;
            Reserve(record_.floatdata);
        } else if (type_ == 2) {
            record_.intdata.clear();
            record_.has_intdata = true;
            Reserve(record_.intdata);
        }
    }

    template <typename T>
    void Reserve(std::vector<T>& data) {
        std::uint32_t declared = static_cast<std::uint32_t>(record_.ni) *
                                 static_cast<std::uint32_t>(record_.nj) *
                                 static_cast<std::uint32_t>(record_.nk);
        if (declared > kMaxReservedEntries) declared = kMaxReservedEntries;
        try {
            data.reserve(declared);
        } catch (const std::bad_alloc&) {
            // Grow as the values come instead.
        }
    }

    Context& ctx_;
    Record& record_;
    std::int32_t type_;
    bool stored_any_ = false;
    bool started_ = false;
    bool ended_ = false;
};

// True when the byte at `q` surely ends a token for the reading rules: a
// separator, the "<" that ends the text, the zero byte that ends it, or a
// line feed whose next line goes on with a blank.
bool EndsToken(const char* q, const char* end) {
    unsigned char b = static_cast<unsigned char>(*q);
    return kClass[b] == kSeparator || b == '<' || b == '\0' || (b == '\n' && q + 1 < end && q[1] == ' ');
}

// Takes the run of token bytes that starts at the look-ahead byte. A run
// that ends inside the block and surely ends its token is converted where
// it lies; anything else is gathered into the pending token.
void TakeTokenRun(Scanner& in, ValuesText& text) {
    const char* start = in.p - 1;  // the look-ahead byte's place
    const char* q = in.p;
    while (q < in.end && kClass[static_cast<unsigned char>(*q)] == kTokenByte) ++q;
    if (q == in.end) {
        text.Gather(start, q);
        in.p = in.end;
        in.AdvanceChar();
        return;
    }
    if (EndsToken(q, in.end) && text.pending_empty())
        text.Convert({start, static_cast<std::size_t>(q - start)});
    else
        text.Gather(start, q);
    in.c = static_cast<unsigned char>(*q);
    in.p = q + 1;
}

// Reads the number that starts at `q` if it is simple and ends there.
const char* ParseSimpleToken(const char* q, const char* end, float& value) {
    const char* r = ParsePlainFloat(q, end, value);
    return r && r < end && EndsToken(r, end) ? r : nullptr;
}

const char* ParseSimpleToken(const char* q, const char* end, std::int32_t& value) {
    // Up to nine digits cannot leave the 32-bit range.
    constexpr std::ptrdiff_t kSafeDigits = 9;
    const char* r = q;
    bool negative = r < end && *r == '-';
    if (r < end && (*r == '-' || *r == '+')) ++r;
    const char* digits = r;
    std::uint64_t magnitude = 0;  // wraps harmlessly on runs too long to use
    r = ReadDigits(r, end, magnitude);
    if (r == digits || r == end || !EndsToken(r, end)) return nullptr;
    if (r - digits > kSafeDigits)
        value = ConvertInt({q, static_cast<std::size_t>(r - q)});
    else
        value = negative ? -static_cast<std::int32_t>(magnitude) : static_cast<std::int32_t>(magnitude);
    return r;
}

// Converts the simple tokens that follow one another from the look-ahead
// byte on, straight from the block, with the blanks and continued line
// breaks between them. Stops before anything else, with `c` on it, and
// returns false when not even the first token was simple.
template <typename T>
bool TakeSimpleTokens(Scanner& in, ValuesText& text) {
    const char* q = in.p - 1;  // the look-ahead byte's place
    const char* const end = in.end;
    bool converted = false;
    for (;;) {
        T value;
        const char* r = ParseSimpleToken(q, end, value);
        if (!r) break;
        text.Append(value);
        converted = true;
        q = r;
        while (q < end) {
            if (*q == ' ' || *q == '\t')
                ++q;
            else if (*q == '\n' && q + 1 < end && q[1] == ' ')
                q += 2;
            else
                break;
        }
        if (q == end || kClass[static_cast<unsigned char>(*q)] != kTokenByte) break;
    }
    if (q == end) {
        in.p = end;
        in.AdvanceChar();
    } else {
        in.c = static_cast<unsigned char>(*q);
        in.p = q + 1;
    }
    return converted;
}

bool TakeSimpleTokens(Scanner& in, ValuesText& text) {
    if (!text.pending_empty()) return false;
    switch (text.type()) {
        case 1:
        case 5:
            return TakeSimpleTokens<float>(in, text);
        case 2:
            return TakeSimpleTokens<std::int32_t>(in, text);
        default:
            return false;
    }
}

}  // namespace

// Reads the values text like a text element, except that a line going on
// with "-" also continues it, and a ">" never ends it: the byte after a
// ">" is taken as it is.
void ParseValues(Context& ctx, std::string_view) {
    Scanner& in = ctx.in;
    ValuesText text(ctx);
    for (;;) {
        if (in.c == kEndOfInput || in.c == '<') break;
        if (in.c == '\r') {
            in.AdvanceChar();
            if (in.c != '\n' && in.c != ' ') break;
        }
        if (in.c == '\n') {
            in.AdvanceChar();
            if (in.c != ' ' && in.c != '-') break;
        }
        if (in.c == '>') {
            in.AdvanceChar();
            // End of input is no byte to store; nor is the "<" of an
            // empty element's closing tag.
            if (in.c == kEndOfInput || (in.c == '<' && !text.stored_any())) break;
            text.Store(static_cast<unsigned char>(in.c));
            in.AdvanceChar();
            continue;
        }
        if (kClass[in.c] == kTokenByte && text.open()) {
            if (!TakeSimpleTokens(in, text)) TakeTokenRun(in, text);
            continue;
        }
        text.Store(static_cast<unsigned char>(in.c));
        in.AdvanceChar();
    }
    text.EndToken();
}

}  // namespace zelreport
