// SPDX-License-Identifier: MIT
// The values element: its text is split into tokens and converted as it
// streams in, so only the numbers are kept (4 bytes each).
#include <algorithm>
#include <chrono>
#include <cstring>
#include <type_traits>
#include <utility>

#include "elements/context.h"
#include "elements/elements.h"
#include "elements/number.h"
#include "elements/short_run.h"
#include "elements/text_rules.h"
#include "elements/values_helper.h"
#include "reader/element_names.h"
#include "reader/lines.h"

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
    // True once the text has replaced its array.
    bool started() const { return started_; }
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
    const char* whole = sink.pending_empty() ? WholeTokenEnd(start, in.end) : nullptr;
    if (whole) {
        sink.Convert({start, static_cast<std::size_t>(whole - start)});
        return in.ResumeAt(whole);
    }
    const char* q = start + 1;
    while (q < in.end && IsTokenByte(static_cast<unsigned char>(*q))) ++q;
    sink.Gather(start, q);
    in.ResumeAt(q);
}

// Where a long run from `q` is split for the second thread: the first
// token after a blank or tab past the middle of what is left of the values
// text in the block, whose end goes to `text_end`; nullptr when that is
// short, there is no second processor, or no such token is near.
const char* SplitPoint(const char* q, const char* end, const char*& text_end) {
    constexpr std::ptrdiff_t kSearch = 256;
    if (end - q < kSplitRunBytes || !ValuesHelper::Worthwhile()) return nullptr;
    const void* tag = std::memchr(q, '<', static_cast<std::size_t>(end - q));
    text_end = tag ? static_cast<const char*>(tag) : end;
    if (text_end - q < kSplitRunBytes) return nullptr;
    const char* from = q + (text_end - q) / 2;
    for (const char* s = from; s < from + kSearch; ++s)
        if (StartsTokenAfterBlank(s)) return s;
    return nullptr;
}

// Appends what the second half's stretches hold, in order, to the array
// and its running statistics, up to the stretch where the run ended, and
// returns where it stopped.
template <typename T, typename Tally>
const char* TakeHelped(ValuesHelper& helper, std::string& scratch, DataArray<T>& data, Tally& tally) {
    ValuesHelper::Done done = helper.Wait(scratch);
    std::span<const T> results;
    if constexpr (std::is_same_v<T, float>)
        results = done.floats;
    else
        results = done.ints;
    const char* stop = nullptr;
    for (const ValuesHelper::Stretch& stretch : done.stretches) {
        std::span<const T> values = results.subspan(stretch.first, stretch.count);
        while (!values.empty()) {
            std::span<T> room = data.Spare();
            std::size_t count = std::min(room.size(), values.size());
            std::copy_n(values.data(), count, room.data());
            tally.AddAll(room.data(), room.data() + count);
            data.Commit(count);
            values = values.subspan(count);
        }
        stop = stretch.stop;
        if (stop != stretch.end) break;
    }
    return stop;
}

// Converts the simple tokens that follow one another from the look-ahead
// byte on, straight from the block, with the separators between them:
// short numbers in place in the array, others one by one. A long run is
// cut in two, the second half converted meanwhile, stretch by stretch, on
// a second thread and taken in when this one reaches it, which converts
// the stretches not begun by then itself; should this one stop before,
// that work is dropped. Stops before anything else, with `c` on it, and returns
// false when not even the first token was simple.
template <typename T, typename Tally>
bool TakeSimpleTokens(Scanner& in, ValuesHelper& helper, std::string& scratch, DataArray<T>& data,
                      Tally& tally) {
    const char* q = in.Here();
    const char* const end = in.end;
    const std::size_t before = data.size();
    // Only a run still going after a first stretch is split: a short
    // values text must not cost a hand-over.
    const char* warmed_up = end - q > kSplitRunBytes + kWarmUpBytes ? q + kWarmUpBytes : nullptr;
    const char* split = nullptr;
    // A run long enough to be cut in two is timed, cut or not, for the
    // policy that decides.
    const char* timed_from = nullptr;
    std::chrono::steady_clock::time_point started;
    for (;;) {
        std::span<T> room = data.Spare();
        T* out = room.data();
        const char* stop = split ? split : warmed_up ? warmed_up : end;
        q = ConvertRun(in.floor, q, stop, end, out, out + room.size(), tally, scratch);
        data.Commit(static_cast<std::size_t>(out - room.data()));
        bool going = q != end && IsTokenByte(static_cast<unsigned char>(*q));
        if (split && q == split) {
            q = TakeHelped(helper, scratch, data, tally);
            split = nullptr;
            going = q != end && IsTokenByte(static_cast<unsigned char>(*q));
        } else if (warmed_up && q >= warmed_up && going) {
            warmed_up = nullptr;
            const char* text_end = end;
            split = SplitPoint(q, end, text_end);
            if (split) {
                timed_from = q;
                started = std::chrono::steady_clock::now();
            }
            // A refused hand-over leaves the whole run to this thread, untimed.
            if (split && !helper.policy.Split(ValuesHelper::ProcessorToSpare)) {
                split = nullptr;
            } else if (split &&
                       !helper.Start(in.floor, split, text_end, end, std::is_same_v<T, std::int32_t>)) {
                split = nullptr;
                timed_from = nullptr;
            } else if (split && helper.StartedCold()) {
                timed_from = nullptr;  // a one-time cost, no measure: the next run is cut again
            }
        } else if (out != room.data() + room.size()) {
            break;  // stopped on something else than the end of the room
        }
        if (!going) break;
    }
    if (split) helper.Cancel();  // stopped short of the split: that work goes
    if (timed_from) {
        std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
        helper.policy.Record(q - timed_from, seconds.count());
    }
    in.ResumeAt(q);
    return data.size() != before;
}

bool TakeSimpleTokens(Context& ctx, ValuesSink& sink) {
    if (!sink.pending_empty()) return false;
    Record& record = ctx.record;
    switch (sink.kind()) {
        case DataKind::floats:
            return TakeSimpleTokens(ctx.in, ctx.helper, ctx.scratch, record.floatdata, record.float_stats);
        case DataKind::ints: {
            NoTally none;
            return TakeSimpleTokens(ctx.in, ctx.helper, ctx.scratch, record.intdata, none);
        }
        case DataKind::none:
            break;
    }
    return false;
}

// A usual values text is read in one go when it ends this soon; a longer
// one is read again the general way, which costs little beside it.
constexpr std::ptrdiff_t kUsualValuesBytes = 256;

// The usual short values text, with `c` on the ">" of the opening tag: short
// numbers from the byte after it, apart by a blank or a line feed and a
// blank, up to the "<" that ends the text, all inside the block and soon.
// They fill the array, which the text replaces, as the general reading
// would; false, leaving the array to that reading, which begins it again,
// for anything else.
template <typename T, typename Tally>
bool TakeUsualValues(Context& ctx, DataArray<T>& data, bool& has_data, Tally& tally, DataKind kind) {
    Scanner& in = ctx.in;
    const char* const first = in.p;
    if (first == in.end || !IsTokenByte(static_cast<unsigned char>(*first))) return false;
    data.clear();
    std::span<T> room = data.Spare();
    T* out = room.data();
    const char* stop = in.end - first > kUsualValuesBytes ? first + kUsualValuesBytes : in.end;
    const char* q = ConvertShortTokens(in.floor, first, stop, in.end, out, out + room.size());
    if (q == in.end || *q != '<') return false;
    data.Commit(static_cast<std::size_t>(out - room.data()));
    tally = {};
    tally.AddAll(room.data(), out);
    has_data = true;
    // Only token bytes and separators between the ">" and the "<": plain.
    ctx.record.values_origin = {in.OffsetOf(first - 1), in.OffsetOf(q), kind, true};
    in.ResumeAt(q);
    return true;
}

bool TakeUsualValues(Context& ctx) {
    if (ctx.in.c != '>') return false;
    Record& record = ctx.record;
    switch (DataKind kind = data_kind(record.datyp)) {
        case DataKind::floats:
            return TakeUsualValues(ctx, record.floatdata, record.has_floatdata, record.float_stats, kind);
        case DataKind::ints: {
            NoTally none;
            return TakeUsualValues(ctx, record.intdata, record.has_intdata, none, kind);
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
    if (TakeUsualValues(ctx)) {
        ctx.closing_tag_read = PassClosingTag(in, kPaddedName<kValuesName>);
        return;
    }
    ValuesSink sink(ctx);
    // Entered on the ">" of the opening tag, the text stays plain until a
    // byte that the rules below look at (see ValuesOrigin).
    bool on_tag_end = in.c == '>';
    const std::uint64_t tag_end = on_tag_end ? in.OffsetOf(in.Here()) : 0;
    bool plain = on_tag_end;
    auto store = [&](unsigned char b) {
        plain = plain && IsSeparator(b);
        sink.Store(b);
    };
    for (;;) {
        if (in.c == kEndOfInput || in.c == '<') break;
        if (in.c == '\r' || in.c == '\n') {
            // A line feed that a blank continues splits tokens as XML
            // white space does; one that ends the text leaves them whole.
            plain = plain && in.c == '\n';
            if (!PassLineBreak(in, Content::values)) break;
            plain = plain && in.c == ' ';
        }
        if (in.c == '>') {
            plain = plain && std::exchange(on_tag_end, false);  // the tag's own ">" only
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
            store(static_cast<unsigned char>(in.c));
            in.AdvanceChar();
            continue;
        }
        if (IsTokenByte(static_cast<unsigned char>(in.c)) && sink.open()) {
            if (!TakeSimpleTokens(ctx, sink)) TakeTokenRun(in, sink);
            continue;
        }
        store(static_cast<unsigned char>(in.c));
        in.AdvanceChar();
    }
    sink.EndToken();
    if (sink.started()) {
        bool closed = in.c == '<';
        ctx.record.values_origin = {tag_end, closed ? in.OffsetOf(in.Here()) : 0, sink.kind(),
                                    plain && closed};
    }
    // The name as a constant, not the one passed, which would take a
    // register through the conversion loop; padded for a word load.
    ctx.closing_tag_read = PassClosingTag(in, kPaddedName<kValuesName>);
}

}  // namespace zelreport
