#include "record/report.h"

#include <charconv>
#include <cstring>

#include "reader/context.h"

namespace zelreport {

namespace {

// Keeps the division at run time: 0/0 must give the processor's NaN.
float Divide(float sum, float count) {
    volatile float dividend = sum;
    return dividend / count;
}

// Writes a report into room made at the end of a string. The room is
// enough for every fixed line and number; text fields are measured first.
class ReportWriter {
public:
    ReportWriter(std::string& out, std::size_t room) : out_(out), start_(out.size()) {
        out_.resize(start_ + room);
        p_ = out_.data() + start_;
    }
    ~ReportWriter() { out_.resize(static_cast<std::size_t>(p_ - out_.data())); }

    template <std::size_t N>
    void Literal(const char (&text)[N]) {
        std::memcpy(p_, text, N - 1);
        p_ += N - 1;
    }
    void Text(const char* label, std::size_t label_size, const std::string* text) {
        std::memcpy(p_, label, label_size);
        p_ += label_size;
        std::string_view content = text ? std::string_view(*text) : std::string_view("(null)");
        std::memcpy(p_, content.data(), content.size());
        p_ += content.size();
        *p_++ = '\n';
    }
    template <std::size_t N>
    void Text(const char (&label)[N], const std::string* text) {
        Text(label, N - 1, text);
    }
    template <std::size_t N>
    void Number(const char (&label)[N], std::int32_t value) {
        Literal(label);
        Int(value);
        *p_++ = '\n';
    }
    void Int(std::int32_t value) { p_ = std::to_chars(p_, p_ + kMaxIntChars, value).ptr; }

private:
    static constexpr std::size_t kMaxIntChars = 11;  // "-2147483648"
    std::string& out_;
    std::size_t start_;
    char* p_;
};

// Room for the banner, the 29 argument lines and the closing line, with
// every number at its longest and without the text fields' content.
constexpr std::size_t kFixedReportRoom = 1024;

std::size_t TextRoom(const std::string* text) {
    return text ? text->size() : sizeof "(null)";
}

const std::string* Text(const std::optional<std::string>& field) {
    return field ? &*field : nullptr;
}

}  // namespace

void SimpleStats(std::span<const float> data, std::int32_t count, std::string& out) {
    float first = data.empty() ? 0.0f : data[0];
    float min = first, max = first, sum = 0.0f;
    std::size_t visited = count > 0 ? std::min<std::size_t>(count, data.size()) : 0;
    for (std::size_t i = 0; i < visited; ++i) {
        float entry = data[i];
        sum = sum + entry;
        if (min > entry) min = entry;
        if (entry > max) max = entry;
    }
    // Any number of zero entries past the data acts like a single one.
    if (count > 0 && static_cast<std::size_t>(count) > data.size()) {
        sum = sum + 0.0f;
        if (min > 0.0f) min = 0.0f;
        if (0.0f > max) max = 0.0f;
    }
    float avg = Divide(sum, static_cast<float>(count));
    out += "--- min: ";
    AppendFixed6(min, out);
    out += " max: ";
    AppendFixed6(max, out);
    out += " avg: ";
    AppendFixed6(avg, out);
    out += "   ---\n\n\n";
}

RecordView MakeView(const Record& r) {
    RecordView v;
    v.nomvar = Text(r.nomvar);
    v.typvar = Text(r.typvar);
    v.etiket = Text(r.etiket);
    v.grtyp = Text(r.grtyp);
    v.ip1 = r.ip1, v.ip2 = r.ip2, v.ip3 = r.ip3, v.ni = r.ni, v.nj = r.nj, v.nk = r.nk;
    v.dateo = r.dateo, v.deet = r.deet, v.npas = r.npas;
    v.ig1 = r.ig1, v.ig2 = r.ig2, v.ig3 = r.ig3, v.ig4 = r.ig4;
    v.nbits = r.nbits, v.datyp = r.datyp, v.swa = r.swa, v.lng = r.lng;
    v.dltf = r.dltf, v.ubc = r.ubc, v.extra1 = r.extra1, v.extra2 = r.extra2, v.extra3 = r.extra3;
    v.npak = r.npak, v.iun = r.iun;
    v.has_floatdata = r.has_floatdata;
    v.floatdata = r.floatdata;
    v.has_intdata = r.has_intdata;
    v.intdata = r.intdata;
    return v;
}

namespace {

// The banner, the argument lines and the closing line.
void AppendArguments(const RecordView& r, std::string& out) {
    ReportWriter w(out, kFixedReportRoom + TextRoom(r.nomvar) + TextRoom(r.typvar) + TextRoom(r.etiket) +
                            TextRoom(r.grtyp));
    w.Literal("************** c_zelecr args are: **********************\n");
    w.Text("nomvar = ", r.nomvar);
    w.Text("typvar = ", r.typvar);
    w.Text("etiket = ", r.etiket);
    w.Number("ip1    = ", r.ip1);
    w.Number("ip2    = ", r.ip2);
    w.Number("ip3    = ", r.ip3);
    w.Number("ni     = ", r.ni);
    w.Number("nj     = ", r.nj);
    w.Number("nk     = ", r.nk);
    w.Number("dateo  = ", r.dateo);
    w.Number("deet   = ", r.deet);
    w.Number("npas   = ", r.npas);
    w.Text("grtyp  = ", r.grtyp);
    w.Number("ig1    = ", r.ig1);
    w.Number("ig2    = ", r.ig2);
    w.Number("ig3    = ", r.ig3);
    w.Number("ig4    = ", r.ig4);
    w.Number("nbits  = ", r.nbits);
    w.Number("datyp  = ", r.datyp);
    w.Number("swa    = ", r.swa);
    w.Number("lng    = ", r.lng);
    w.Number("dltf   = ", r.dltf);
    w.Number("ubc    = ", r.ubc);
    w.Number("extra1 = ", r.extra1);
    w.Number("extra2 = ", r.extra2);
    w.Number("extra3 = ", r.extra3);
    w.Number("npak = ", r.npak);
    w.Number("iun = ", r.iun);
    w.Literal("\n***************** iun = ");
    w.Int(r.iun);
    w.Literal(" *********************\n");
}

}  // namespace

void append_report(const RecordView& r, std::string& out) {
    AppendArguments(r, out);
    if ((r.datyp == 1 || r.datyp == 5) && r.has_floatdata) {
        // ni * nj * nk wraps in 32 bits, as the declared count always has.
        std::uint32_t count = static_cast<std::uint32_t>(r.ni) * static_cast<std::uint32_t>(r.nj) *
                              static_cast<std::uint32_t>(r.nk);
        SimpleStats(r.floatdata, static_cast<std::int32_t>(count), out);
    }
}

void write_to_zelFile(Context& ctx) {
    RecordView view = MakeView(ctx.record);
    if (ctx.handlers->on_record) ctx.handlers->on_record(view);
    std::size_t before = ctx.out.size();
    try {
        append_report(view, ctx.out);
    } catch (...) {
        // A report is written whole or not at all.
        ctx.out.resize(before);
        throw;
    }
    ctx.Flush();
    ctx.record.ReleaseData();
}

void Record::ReleaseData() {
    nomvar.reset(), typvar.reset(), etiket.reset(), grtyp.reset();
    has_floatdata = has_intdata = false;
    // Small arrays keep their room for the next record; large ones go.
    constexpr std::size_t kKeptEntries = 1 << 20;
    if (floatdata.capacity() > kKeptEntries) std::vector<float>().swap(floatdata);
    if (intdata.capacity() > kKeptEntries) std::vector<std::int32_t>().swap(intdata);
    floatdata.clear();
    intdata.clear();
}

}  // namespace zelreport
