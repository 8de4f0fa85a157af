// SPDX-License-Identifier: MIT
#include "record/report.h"

#include <cmath>
#include <cstring>
#include <type_traits>

#include "record/record.h"

namespace zelreport {

DataKind data_kind(std::int32_t datyp) {
    switch (datyp) {
        case 1:
        case 5:
            return DataKind::floats;
        case 2:
            return DataKind::ints;
        default:
            return DataKind::none;
    }
}

namespace {

// Keeps the division at run time: 0/0 must give the processor's NaN.
float Divide(float sum, float count) {
    volatile float dividend = sum;
    return dividend / count;
}

// Writes a report at `out`, which has the room ReportRoom gives.
class ReportWriter {
public:
    explicit ReportWriter(char* out) : p_(out) {}
    char* end() const { return p_; }

    void Literal(std::string_view text) {
        std::memcpy(p_, text.data(), text.size());
        p_ += text.size();
    }
    void Int(std::int32_t value) { p_ = WriteInt(value, p_); }
    void Fixed6(float value) { p_ = WriteFixed6(value, p_); }
    // A field's text, usually short: copied without a call, by two
    // overlapping loads and stores of a word or half a word.
    void Text(std::string_view text) {
        const char* in = text.data();
        std::size_t size = text.size();
        if (size >= 8 && size <= 16) {
            CopyOverlapping<std::uint64_t>(in, size);
        } else if (size >= 4 && size < 8) {
            CopyOverlapping<std::uint32_t>(in, size);
        } else if (size < 4) {
            for (std::size_t i = 0; i < size; ++i) p_[i] = in[i];
            p_ += size;
        } else {
            Literal(text);
        }
    }
    void TextLine(std::string_view label, const std::string* text) {
        Literal(label);
        Text(text ? std::string_view(*text) : std::string_view("(null)"));
        *p_++ = '\n';
    }
    void IntLine(std::string_view label, std::int32_t value) {
        Literal(label);
        Int(value);
        *p_++ = '\n';
    }
    // The same through the line last written for the field: copied whole
    // when it shows the value, else spelled there first.
    void IntLine(std::string_view label, std::int32_t value, ReportLines::Line& line) {
        if (value != line.value) Spell(label, value, line);
        std::memcpy(p_, line.bytes, sizeof line.bytes);
        p_ += line.length;
    }
    static void Spell(std::string_view label, std::int32_t value, ReportLines::Line& line) {
        ReportWriter spelled(line.bytes);
        spelled.IntLine(label, value);
        line.length = static_cast<std::size_t>(spelled.end() - line.bytes);
        line.value = value;
    }

private:
    // Copies `size` bytes, between one and two words of type `Word`.
    template <typename Word>
    void CopyOverlapping(const char* in, std::size_t size) {
        Word head, tail;
        std::memcpy(&head, in, sizeof head);
        std::memcpy(&tail, in + size - sizeof tail, sizeof tail);
        std::memcpy(p_, &head, sizeof head);
        std::memcpy(p_ + size - sizeof tail, &tail, sizeof tail);
        p_ += size;
    }

    char* p_;
};

// The integer lines spelled each time.
struct SpelledLines {};

// The banner, the argument lines, the closing line and, when there are
// statistics, their line; the integer lines spelled, or through `lines`.
template <typename Lines>
char* WriteReport(const RecordView& r, const std::optional<Statistics>& stats, Lines& lines, char* out) {
    ReportWriter w(out);
    w.Literal("************** c_zelecr args are: **********************\n");
#define ZELREPORT_TEXT_LINE(name, label) w.TextLine(label, r.name);
#define ZELREPORT_INT_LINE(name, label, rule)          \
    if constexpr (std::is_same_v<Lines, SpelledLines>) \
        w.IntLine(label, r.name);                      \
    else                                               \
        w.IntLine(label, r.name, lines.name);
    ZELREPORT_FIELDS(ZELREPORT_TEXT_LINE, ZELREPORT_INT_LINE)
#undef ZELREPORT_TEXT_LINE
#undef ZELREPORT_INT_LINE
    w.Literal("\n***************** iun = ");
    w.Int(r.iun);
    w.Literal(" *********************\n");
    if (stats) {
        w.Literal("--- min: ");
        w.Fixed6(stats->min);
        w.Literal(" max: ");
        w.Fixed6(stats->max);
        w.Literal(" avg: ");
        w.Fixed6(stats->avg);
        w.Literal("   ---\n\n\n");
    }
    return w.end();
}

const std::string* Text(const std::optional<std::string>& field) {
    return field ? &*field : nullptr;
}

}  // namespace

namespace {

// ni * nj * nk wrapping in 32 bits, as the declared count always has.
std::int32_t DeclaredCount(std::int32_t ni, std::int32_t nj, std::int32_t nk) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ni) * static_cast<std::uint32_t>(nj) *
                                     static_cast<std::uint32_t>(nk));
}

// The statistics of `count` entries of which `data` are the first ones
// and the rest zeros, from their running statistics.
Statistics Finish(RunningStats stats, std::span<const float> data, std::int32_t count) {
    // Any number of zero entries past the data acts like a single one.
    if (count > 0 && static_cast<std::size_t>(count) > data.size()) stats.Add(0.0f);
    return {count, stats.min, stats.max, Divide(stats.sum, static_cast<float>(count))};
}

}  // namespace

Statistics SimpleStats(std::span<const float> data, std::int32_t count) {
    RunningStats stats;
    stats.min = stats.max = data.empty() ? 0.0f : data[0];
    std::size_t visited = count > 0 ? std::min<std::size_t>(static_cast<std::size_t>(count), data.size()) : 0;
    for (std::size_t i = 0; i < visited; ++i) stats.Add(data[i]);
    return Finish(stats, data, count);
}

std::optional<Statistics> statistics(const RecordView& r) {
    if (data_kind(r.datyp) != DataKind::floats || !r.has_floatdata) return std::nullopt;
    return SimpleStats(r.floatdata, DeclaredCount(r.ni, r.nj, r.nk));
}

namespace {

// As statistics(), from the running statistics kept while the values
// were read when they cover every entry visited.
std::optional<Statistics> RecordStatistics(const Record& r) {
    if (data_kind(r.datyp) != DataKind::floats || !r.has_floatdata) return std::nullopt;
    std::int32_t count = DeclaredCount(r.ni, r.nj, r.nk);
    std::span<const float> data = r.floatdata;
    if (count <= 0 || static_cast<std::size_t>(count) < data.size()) return SimpleStats(data, count);
    RunningStats stats = r.float_stats;
    if (!data.empty() && std::isnan(data[0])) stats.min = stats.max = data[0];
    return Finish(stats, data, count);
}

}  // namespace

ReportLines::ReportLines() {
#define ZELREPORT_NO_TEXT_LINE(name, label)
#define ZELREPORT_SPELL_ZERO(name, label, rule) ReportWriter::Spell(label, 0, name);
    ZELREPORT_FIELDS(ZELREPORT_NO_TEXT_LINE, ZELREPORT_SPELL_ZERO)
#undef ZELREPORT_NO_TEXT_LINE
#undef ZELREPORT_SPELL_ZERO
}

char* WriteRecordReport(const Record& record, const RecordView& view, ReportLines& lines, char* out) {
    return WriteReport(view, RecordStatistics(record), lines, out);
}

void append_report(const RecordView& r, std::string& out) {
    std::size_t start = out.size();
    out.resize(start + ReportRoom(r));
    SpelledLines spelled;
    out.resize(
        static_cast<std::size_t>(WriteReport(r, statistics(r), spelled, out.data() + start) - out.data()));
}

RecordView MakeView(const Record& r) {
    RecordView v;
#define ZELREPORT_VIEW_TEXT(name, label) v.name = Text(r.name);
#define ZELREPORT_VIEW_INT(name, label, rule) v.name = r.name;
    ZELREPORT_FIELDS(ZELREPORT_VIEW_TEXT, ZELREPORT_VIEW_INT)
#undef ZELREPORT_VIEW_TEXT
#undef ZELREPORT_VIEW_INT
    v.has_floatdata = r.has_floatdata;
    v.floatdata = r.floatdata;
    v.has_intdata = r.has_intdata;
    v.intdata = r.intdata;
    return v;
}

void Record::ReleaseData() {
#define ZELREPORT_RELEASE_TEXT(name, label) name.reset();
#define ZELREPORT_RELEASE_INT(name, label, rule)
    ZELREPORT_FIELDS(ZELREPORT_RELEASE_TEXT, ZELREPORT_RELEASE_INT)
#undef ZELREPORT_RELEASE_TEXT
#undef ZELREPORT_RELEASE_INT
    has_floatdata = has_intdata = false;
    floatdata.Release();
    intdata.Release();
    values_origin = {};
}

}  // namespace zelreport
