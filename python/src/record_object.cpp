// SPDX-License-Identifier: MIT
#include "record_object.h"

#include <cstring>
#include <utility>

namespace zelreport::python {

namespace {

py::object OptionalText(const std::optional<std::string>& text) {
    return text ? py::object(Decode(*text)) : py::none();
}

py::object OptionalBytes(const std::optional<std::string>& text) {
    return text ? py::object(py::bytes(*text)) : py::none();
}

template <typename T>
bool SameBits(std::span<const T> a, std::span<const T> b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size_bytes()) == 0);
}

// A pickled array as the record's own: read-only, `T`, contiguous; None
// when the record holds none.
template <typename T>
py::object RestoredArray(py::handle state, std::span<const T>* kept) {
    *kept = {};
    if (state.is_none()) return py::none();
    auto array = py::array_t<T, py::array::c_style | py::array::forcecast>::ensure(state);
    if (!array || array.ndim() != 1) throw py::value_error("Record state: an array of values is not 1-D");
    py::detail::array_proxy(array.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    *kept = {array.data(), static_cast<std::size_t>(array.size())};
    return array;
}

// The version of the pickled state: a later package reads it, or says why not.
constexpr int kStateVersion = 1;

}  // namespace

py::str Decode(std::string_view bytes) {
    PyObject* text =
        PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "surrogateescape");
    if (!text) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

template <typename T>
py::object OwningArray(bool held, OwnedValues<T>&& values, std::span<const T>* kept, bool writable) {
    *kept = {};
    if (!held) return py::none();
    py::array_t<T> array;
    if (values.size() == 0) {
        array = py::array_t<T>(0);
    } else {
        auto* owner = new OwnedValues<T>(std::move(values));
        py::capsule base(owner, [](void* p) { delete static_cast<OwnedValues<T>*>(p); });
        *kept = owner->span();
        array = py::array_t<T>(static_cast<py::ssize_t>(kept->size()), kept->data(), base);
    }
    if (!writable) py::detail::array_proxy(array.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return array;
}
template py::object OwningArray(bool, OwnedValues<float>&&, std::span<const float>*, bool);
template py::object OwningArray(bool, OwnedValues<std::int32_t>&&, std::span<const std::int32_t>*, bool);

Record::Record(RecordData&& record)
    : data(std::move(record)),
      float_values(OwningArray(data.has_floatdata, std::move(data.values.floatdata), &floats)),
      int_values(OwningArray(data.has_intdata, std::move(data.values.intdata), &ints)) {}

py::str Record::Report() const {
    std::string text;
    append_report(ViewOf(data, floats, ints), text);
    return Decode(text);
}

py::object Record::Field() const {
    py::object values = Values();
    if (values.is_none() || data.ni <= 0 || data.nj <= 0 || data.nk <= 0) return py::none();
    if (std::int64_t{data.ni} * data.nj * data.nk != static_cast<std::int64_t>(py::len(values)))
        return py::none();
    return values.attr("reshape")(py::make_tuple(data.ni, data.nj, data.nk), py::arg("order") = "F");
}

// Made on request, like the report: the values cannot change.
py::object Record::Statistics() const {
    std::optional<zelreport::Statistics> stats = statistics(ViewOf(data, floats, ints));
    if (!stats) return py::none();
    return py::make_tuple(double{stats->min}, double{stats->max}, double{stats->avg});
}

py::dict Record::RawTexts() const {
    py::dict texts;
#define ZELREPORT_RAW_TEXT(name, label) texts[#name] = OptionalBytes(data.name);
#define ZELREPORT_NO_TEXT(name, label, rule)
    ZELREPORT_FIELDS(ZELREPORT_RAW_TEXT, ZELREPORT_NO_TEXT)
#undef ZELREPORT_RAW_TEXT
#undef ZELREPORT_NO_TEXT
    return texts;
}

py::dict Record::ToDict() const {
    py::dict fields;
#define ZELREPORT_DICT_TEXT(name, label) fields[#name] = OptionalText(data.name);
#define ZELREPORT_DICT_INT(name, label, rule) fields[#name] = data.name;
    ZELREPORT_FIELDS(ZELREPORT_DICT_TEXT, ZELREPORT_DICT_INT)
#undef ZELREPORT_DICT_TEXT
#undef ZELREPORT_DICT_INT
    fields["values"] = Values();
    return fields;
}

bool Record::Equals(const Record& other) const {
    bool same = data.has_floatdata == other.data.has_floatdata &&
                data.has_intdata == other.data.has_intdata && SameBits(floats, other.floats) &&
                SameBits(ints, other.ints);
#define ZELREPORT_SAME_FIELD(name, ...) same = same && data.name == other.data.name;
    ZELREPORT_FIELDS(ZELREPORT_SAME_FIELD, ZELREPORT_SAME_FIELD)
#undef ZELREPORT_SAME_FIELD
    return same;
}

// The fields alone: records equal by Equals have equal fields.
py::int_ Record::Hash() const {
    py::list fields;
#define ZELREPORT_HASH_TEXT(name, label) fields.append(OptionalBytes(data.name));
#define ZELREPORT_HASH_INT(name, label, rule) fields.append(data.name);
    ZELREPORT_FIELDS(ZELREPORT_HASH_TEXT, ZELREPORT_HASH_INT)
#undef ZELREPORT_HASH_TEXT
#undef ZELREPORT_HASH_INT
    return py::int_(py::hash(py::tuple(fields)));
}

py::tuple Record::State() const {
    py::list texts, numbers;
#define ZELREPORT_STATE_TEXT(name, label) texts.append(OptionalBytes(data.name));
#define ZELREPORT_STATE_INT(name, label, rule) numbers.append(data.name);
    ZELREPORT_FIELDS(ZELREPORT_STATE_TEXT, ZELREPORT_STATE_INT)
#undef ZELREPORT_STATE_TEXT
#undef ZELREPORT_STATE_INT
    return py::make_tuple(kStateVersion, py::tuple(texts), py::tuple(numbers), float_values, int_values);
}

Record Record::FromState(const py::tuple& state) {
    if (state.size() != 5 || !py::isinstance<py::int_>(state[0]) || state[0].cast<int>() != kStateVersion)
        throw py::value_error(
            "Record state of another version of the package: pickle it again with this one");
    auto texts = state[1].cast<py::tuple>();
    auto numbers = state[2].cast<py::tuple>();
    RecordData data;
    std::size_t t = 0, n = 0;
#define ZELREPORT_RESTORE_TEXT(name, label)                            \
    if (!texts[t].is_none()) data.name = texts[t].cast<std::string>(); \
    ++t;
#define ZELREPORT_RESTORE_INT(name, label, rule) data.name = numbers[n++].cast<std::int32_t>();
    ZELREPORT_FIELDS(ZELREPORT_RESTORE_TEXT, ZELREPORT_RESTORE_INT)
#undef ZELREPORT_RESTORE_TEXT
#undef ZELREPORT_RESTORE_INT
    data.has_floatdata = !state[3].is_none();
    data.has_intdata = !state[4].is_none();
    Record record(std::move(data));
    record.float_values = RestoredArray<float>(state[3], &record.floats);
    record.int_values = RestoredArray<std::int32_t>(state[4], &record.ints);
    return record;
}

std::string Record::Repr() const {
    auto text = [](const std::optional<std::string>& t) {
        return t ? py::repr(Decode(*t)).cast<std::string>() : std::string("None");
    };
    py::object values = Values();
    std::string count = values.is_none() ? "None" : std::to_string(py::len(values));
    return "<zelreport.Record nomvar=" + text(data.nomvar) + " typvar=" + text(data.typvar) +
           " etiket=" + text(data.etiket) + " ip1=" + std::to_string(data.ip1) +
           " ip2=" + std::to_string(data.ip2) + " ip3=" + std::to_string(data.ip3) + " " +
           std::to_string(data.ni) + "x" + std::to_string(data.nj) + "x" + std::to_string(data.nk) +
           " datyp=" + std::to_string(data.datyp) + " values=" + count + ">";
}

void DefineRecord(py::module_& m) {
    py::class_<Record> record(
        m, "Record",
        "A record as it stands at its end, copied out of the reader: its fields under\n"
        "their own names, its values as NumPy arrays, its statistics and its report.\n"
        "Records pickle, and compare equal when their fields are equal and their values\n"
        "equal bit for bit (a NaN equals the same NaN).");
#define ZELREPORT_TEXT_PROPERTY(name, label)                                 \
    record.def_property_readonly(                                            \
        #name, [](const Record& r) { return OptionalText(r.data.name); },    \
        "The text field " #name                                              \
        " as str (UTF-8, other bytes kept by 'surrogateescape'), None when " \
        "absent.");
// What each rule of fields.h means for the field's value, in its docstring.
#define ZELREPORT_RULE_DOC_stored "the element's number, modulo 2**32 as a signed 32-bit value"
#define ZELREPORT_RULE_DOC_negated "the element's number negated, as the report shows it"
#define ZELREPORT_RULE_DOC_dropped "always 0: the element is read but its number dropped"
#define ZELREPORT_RULE_DOC_absent "always 0: no element sets it"
#define ZELREPORT_INT_PROPERTY(name, label, rule)                                        \
    record.def_property_readonly(                                                        \
        #name, [](const Record& r) { return r.data.name; },                              \
        "The integer field " #name " as the report gives it: " ZELREPORT_RULE_DOC_##rule \
        ". Integer "                                                                     \
        "fields keep their value from record to record until an element gives another.");
    ZELREPORT_FIELDS(ZELREPORT_TEXT_PROPERTY, ZELREPORT_INT_PROPERTY)
#undef ZELREPORT_TEXT_PROPERTY
#undef ZELREPORT_INT_PROPERTY
    record
        .def_property_readonly(
            "values", &Record::Values,
            "The values as a read-only 1-D array owned by the record, one entry per value\n"
            "token (values.copy() gives a writable one): "
            "float32 for single-precision data (datyp 1 and 5), int32 for integer data\n"
            "(datyp 2), None when the record holds neither. A record that holds both\n"
            "gives its float32 array here; see float_values and int_values.")
        .def_readonly("float_values", &Record::float_values,
                      "The float32 array of single-precision values, or None.")
        .def_readonly("int_values", &Record::int_values, "The int32 array of integer values, or None.")
        .def_property_readonly("field", &Record::Field,
                               "values viewed with shape (ni, nj, nk) in Fortran order (the first index\n"
                               "varies fastest, as in the document), or None unless ni, nj and nk are\n"
                               "positive and their product is the count of values.")
        .def_property_readonly(
            "statistics", &Record::Statistics,
            "(min, max, avg): the float32 numbers the report's statistics line prints, as\n"
            "Python floats with the float32 values exactly, unrounded (the line rounds them\n"
            "to six decimals, '%f'); None for a record without single-precision data.")
        .def_property_readonly("report", &Record::Report,
                               "The record's report text, as zelreport writes it (decoded like the texts).")
        .def_property_readonly("raw_texts", &Record::RawTexts,
                               "The text fields as bytes (None when absent), by name.")
        .def("to_dict", &Record::ToDict,
             "Every field by name (texts as str or None, integers as int) and 'values' (the\n"
             "array, or None).")
        .def("__eq__",
             [](const Record& a, py::handle b) -> py::object {
                 if (!py::isinstance<Record>(b)) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                 return py::bool_(a.Equals(b.cast<const Record&>()));
             })
        .def("__hash__", &Record::Hash)
        .def(py::pickle([](const Record& r) { return r.State(); },
                        [](const py::tuple& state) { return Record::FromState(state); }))
        .def("__repr__", &Record::Repr);
}

}  // namespace zelreport::python
