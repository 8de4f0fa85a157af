// SPDX-License-Identifier: MIT
// The values element: its text is split into tokens and converted as it
// streams in, so only the numbers are kept (4 bytes each).
#include "elements/elements.h"
#include "elements/number.h"
#include "elements/short_number.h"
#include "elements/text_rules.h"
#include "reader/context.h"

namespace zelreport {

namespace {

// The values text as stored: tokens split at the separators, converted
// into the array the data type selects, ended by a zero byte.
class ValuesSink {
public:
    explicit ValuesSink(Context& ctx) : ctx_(ctx), kind_(data_kind(ctx.record.datyp)) {
        ctx_.token.Reset(kind_ == DataKind::ints);
    }

    DataKind kind() const { return kind_; }
    bool stored_any() const { return stored_any_; }
    // True while bytes still count: the text has begun and no zero byte
    // has ended it.
    bool open() const { return started_ && !ended_; }
    bool pending_empty() const { return ctx_.token.empty(); }

    // Counts a byte as stored, and begins the text with it.
    void Begin() {
        stored_any_ = true;
        if (!started_ && !ended_) Start();
    }

    // One byte of the text, as the reading rules give it.
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
        if (IsSeparator(b))
            EndToken();
        else if (kind_ != DataKind::none)
            ctx_.token.Append(static_cast<char>(b));
    }

    // Token bytes that continue the pending token. With no array to fill
    // they are not kept: a long token would be held for nothing.
    void Gather(const char* begin, const char* end) {
        if (kind_ != DataKind::none) ctx_.token.Append(begin, end);
    }

    void Append(float value) {
        ctx_.record.floatdata.push_back(value);
        ctx_.record.float_stats.Add(value);
    }
    void Append(std::int32_t value) { ctx_.record.intdata.push_back(value); }

    // Converts a whole token into the array.
    void Convert(std::string_view token) {
        if (kind_ == DataKind::floats) Append(ConvertFloat(token, ctx_.scratch));
        if (kind_ == DataKind::ints) Append(ConvertInt(token));
    }

    void EndToken() {
        if (ctx_.token.empty()) return;
        Convert(ctx_.token.text());
        ctx_.token.clear();
    }

private:
    // A non-empty text replaces the array its data type selects.
    void Start() {
        started_ = true;
        Record& r = ctx_.record;
        if (kind_ == DataKind::floats) {
            r.floatdata.clear();
            r.float_stats = {};
            r.has_floatdata = true;
        }
        if (kind_ == DataKind::ints) {
            r.intdata.clear();
            r.has_intdata = true;
        }
    }

    Context& ctx_;
    const DataKind kind_;
    bool stored_any_ = false;
    bool started_ = false;
    bool ended_ = false;
};

// Takes the run of token bytes that starts at the look-ahead byte. A run
// that ends inside the block and surely ends its token is converted where
// it lies; anything else is gathered into the pending token.
void TakeTokenRun(Scanner& in, ValuesSink& sink) {
    const char* start = in.Here();
    const char* q = start + 1;
    while (q < in.end && IsTokenByte(static_cast<unsigned char>(*q))) ++q;
    // A long token goes the way of one split across blocks, so that it is
    // never copied whole.
    std::size_t length = static_cast<std::size_t>(q - start);
    if (q < in.end && EndsToken(q, in.end) && sink.pending_empty() && length <= ValuesToken::kLongTokenBytes)
        sink.Convert({start, length});
    else
        sink.Gather(start, q);
    in.ResumeAt(q);
}

// Reads a plain number that starts at `q` and surely ends its token.
const char* ParsePlainToken(const char* q, const char* end, float& value) {
    const char* r = ParsePlainFloat(q, end, value);
    return r && r < end && EndsToken(r, end) ? r : nullptr;
}

const char* ParsePlainToken(const char* q, const char* end, std::int32_t& value) {
    const char* r = ParsePlainInt(q, end, value);
    return r && r < end && EndsToken(r, end) ? r : nullptr;
}

inline const char* ParseShortToken(const char* q, const char* end, float& value) {
    return ParseShortFloat(q, end, value);
}

inline const char* ParseShortToken(const char* q, const char* end, std::int32_t& value) {
    return ParseShortInt(q, end, value);
}

// Skips the separators between two tokens: blanks, tabs, and line feeds
// that the next line continues with a blank.
inline const char* SkipSeparators(const char* q, const char* end) {
    while (q < end) {
        if (*q == ' ' || *q == '\t')
            ++q;
        else if (IsBlankContinuedLineFeed(q, end))
            q += 2;
        else
            break;
    }
    return q;
}

// Converts short numbers and the separators after them from `q` on,
// writing the values at `out` up to `out_end`, while the block leaves room
// to look at a whole short number. Returns where it stopped.
template <typename T, typename Tally>
const char* ConvertShortNumbers(const char* q, const char* end, T*& out, T* out_end, Tally& tally) {
    Tally running = tally;  // in registers for the loop
    while (end - q > kShortNumberReach && out < out_end) {
        T value;
        const char* r = ParseShortToken(q, end, value);
        if (!r) break;
        *out++ = value;
        running.Add(value);
        q = SkipSeparators(r, end);
        if (!IsTokenByte(static_cast<unsigned char>(*q))) break;
    }
    tally = running;
    return q;
}

// Integer values keep no running statistics.
struct NoTally {
    void Add(std::int32_t) {}
};

// Converts the simple tokens that follow one another from the look-ahead
// byte on, straight from the block, with the separators between them:
// short numbers in place in the array, others one by one. Stops before
// anything else, with `c` on it, and returns false when not even the first
// token was simple.
template <typename T, typename Tally>
bool TakeSimpleTokens(Scanner& in, DataArray<T>& data, Tally& tally) {
    const char* q = in.Here();
    const char* const end = in.end;
    const std::size_t before = data.size();
    for (;;) {
        std::span<T> room = data.Spare();
        T* out = room.data();
        q = ConvertShortNumbers(q, end, out, out + room.size(), tally);
        data.Commit(static_cast<std::size_t>(out - room.data()));
        if (q == end || !IsTokenByte(static_cast<unsigned char>(*q))) break;
        if (out == room.data() + room.size()) continue;
        T value;
        const char* r = ParsePlainToken(q, end, value);
        if (!r) break;
        data.push_back(value);
        tally.Add(value);
        q = SkipSeparators(r, end);
        if (q == end || !IsTokenByte(static_cast<unsigned char>(*q))) break;
    }
    in.ResumeAt(q);
    return data.size() != before;
}

bool TakeSimpleTokens(Scanner& in, ValuesSink& sink, Record& record) {
    if (!sink.pending_empty()) return false;
    switch (sink.kind()) {
        case DataKind::floats:
            return TakeSimpleTokens(in, record.floatdata, record.float_stats);
        case DataKind::ints: {
            NoTally none;
            return TakeSimpleTokens(in, record.intdata, none);
        }
        case DataKind::none:
            break;
    }
    return false;
}

}  // namespace

// Reads the values text like a text element, except that a line going on
// with "-" also continues it, and a ">" never ends it: the byte after a
// ">" is taken as it is.
void ParseValues(Context& ctx, std::string_view) {
    Scanner& in = ctx.in;
    ValuesSink sink(ctx);
    for (;;) {
        if (in.c == kEndOfInput || in.c == '<') break;
        if ((in.c == '\r' || in.c == '\n') && !PassLineBreak(in, Content::values)) break;
        if (in.c == '>') {
            in.AdvanceChar();
            // End of input is no byte to store; nor is the "<" of an
            // empty element's closing tag.
            if (in.c == kEndOfInput || (in.c == '<' && !sink.stored_any())) break;
            // A token byte begins the text and its token; the token readers
            // take it from there.
            if (IsTokenByte(static_cast<unsigned char>(in.c))) {
                sink.Begin();
                continue;
            }
            sink.Store(static_cast<unsigned char>(in.c));
            in.AdvanceChar();
            continue;
        }
        if (IsTokenByte(static_cast<unsigned char>(in.c)) && sink.open()) {
            if (!TakeSimpleTokens(in, sink, ctx.record)) TakeTokenRun(in, sink);
            continue;
        }
        sink.Store(static_cast<unsigned char>(in.c));
        in.AdvanceChar();
    }
    sink.EndToken();
}

}  // namespace zelreport
