#include "record/report.h"

#include "reader/context.h"

namespace zelreport {

namespace {

// Keeps the division at run time: 0/0 must give the processor's NaN.
float Divide(float sum, float count) {
    volatile float dividend = sum;
    return dividend / count;
}

void AppendText(std::string& out, const char* label, const std::string* text) {
    out += label;
    out += text ? std::string_view(*text) : std::string_view("(null)");
    out += '\n';
}

void AppendNumber(std::string& out, const char* label, std::int32_t value) {
    out += label;
    AppendInt(value, out);
    out += '\n';
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

void append_report(const RecordView& r, std::string& out) {
    out += "************** c_zelecr args are: **********************\n";
    AppendText(out, "nomvar = ", r.nomvar);
    AppendText(out, "typvar = ", r.typvar);
    AppendText(out, "etiket = ", r.etiket);
    AppendNumber(out, "ip1    = ", r.ip1);
    AppendNumber(out, "ip2    = ", r.ip2);
    AppendNumber(out, "ip3    = ", r.ip3);
    AppendNumber(out, "ni     = ", r.ni);
    AppendNumber(out, "nj     = ", r.nj);
    AppendNumber(out, "nk     = ", r.nk);
    AppendNumber(out, "dateo  = ", r.dateo);
    AppendNumber(out, "deet   = ", r.deet);
    AppendNumber(out, "npas   = ", r.npas);
    AppendText(out, "grtyp  = ", r.grtyp);
    AppendNumber(out, "ig1    = ", r.ig1);
    AppendNumber(out, "ig2    = ", r.ig2);
    AppendNumber(out, "ig3    = ", r.ig3);
    AppendNumber(out, "ig4    = ", r.ig4);
    AppendNumber(out, "nbits  = ", r.nbits);
    AppendNumber(out, "datyp  = ", r.datyp);
    AppendNumber(out, "swa    = ", r.swa);
    AppendNumber(out, "lng    = ", r.lng);
    AppendNumber(out, "dltf   = ", r.dltf);
    AppendNumber(out, "ubc    = ", r.ubc);
    AppendNumber(out, "extra1 = ", r.extra1);
    AppendNumber(out, "extra2 = ", r.extra2);
    AppendNumber(out, "extra3 = ", r.extra3);
    AppendNumber(out, "npak = ", r.npak);
    AppendNumber(out, "iun = ", r.iun);
    out += '\n';
    out += "***************** iun = ";
    AppendInt(r.iun, out);
    out += " *********************\n";
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
