// SPDX-License-Identifier: MIT
// The compiled part of the Python package: records() and report() over
// the library, and the Record they give.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <memory>
#include <span>
#include <string>
#include <utility>

#include "no_record.h"
#include "record_data.h"
#include "source.h"
#include "stream.h"
#include "zelreport/version.h"

namespace zelreport::python {

namespace {

// Bytes as Python text: UTF-8, any other byte kept as a lone surrogate so
// that encoding back with "surrogateescape" gives the bytes again.
py::str Decode(const std::string& bytes) {
    PyObject* text =
        PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "surrogateescape");
    if (!text) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

py::object OptionalText(const std::optional<std::string>& text) {
    return text ? py::object(Decode(*text)) : py::none();
}

// A read-only 1-D array that owns `values`: they move behind the array as
// they are, and `*kept` points at them. Read-only, so that the record's
// report and statistics stay those of its values.
template <typename T>
py::object OwningArray(bool held, OwnedValues<T>&& values, std::span<const T>* kept) {
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
    py::detail::array_proxy(array.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return array;
}

struct Record {
    RecordData data;  // its values are moved into the arrays
    std::span<const float> floats;
    std::span<const std::int32_t> ints;
    py::object float_values, int_values;

    explicit Record(RecordData&& record)
        : data(std::move(record)),
          float_values(OwningArray(data.has_floatdata, std::move(data.values.floatdata), &floats)),
          int_values(OwningArray(data.has_intdata, std::move(data.values.intdata), &ints)) {}

    py::str Report() const {
        std::string text;
        append_report(ViewOf(data, floats, ints), text);
        return Decode(text);
    }

    py::object Values() const { return data.has_floatdata ? float_values : int_values; }

    py::object Field() const {
        py::object values = Values();
        if (values.is_none() || data.ni <= 0 || data.nj <= 0 || data.nk <= 0) return py::none();
        if (std::int64_t{data.ni} * data.nj * data.nk != static_cast<std::int64_t>(py::len(values)))
            return py::none();
        return values.attr("reshape")(py::make_tuple(data.ni, data.nj, data.nk), py::arg("order") = "F");
    }

    // Made on request, like the report: the values cannot change.
    py::object Statistics() const {
        std::optional<zelreport::Statistics> stats = statistics(ViewOf(data, floats, ints));
        if (!stats) return py::none();
        return py::make_tuple(double{stats->min}, double{stats->max}, double{stats->avg});
    }

    py::dict RawTexts() const {
        py::dict texts;
#define ZELREPORT_RAW_TEXT(name, label) \
    texts[#name] = data.name ? py::object(py::bytes(*data.name)) : py::object(py::none());
#define ZELREPORT_NO_TEXT(name, label, rule)
        ZELREPORT_FIELDS(ZELREPORT_RAW_TEXT, ZELREPORT_NO_TEXT)
#undef ZELREPORT_RAW_TEXT
#undef ZELREPORT_NO_TEXT
        return texts;
    }

    std::string Repr() const {
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
};

class RecordIterator {
public:
    explicit RecordIterator(py::handle source) : stream_(source) {}
    Record Next() {
        RecordData data;
        if (!stream_.Next(data)) throw py::stop_iteration();
        return Record(std::move(data));
    }
    void Close() { stream_.Close(); }

private:
    RecordStream stream_;
};

py::str Report(py::handle source) {
    Source document(source);
    RunControl control;
    control.check_signals = true;
    std::string text;
    Result result;
    std::uint64_t records = 0;
    Handlers handlers;
    handlers.on_record = [&records](const RecordView&) { ++records; };
    {
        py::gil_scoped_release release;
        result = document.Run(std::move(handlers), &text, control);
    }
    document.RaiseFailure(result, control);
    if (records == 0) WarnNoRecord(document);
    return Decode(text);
}

constexpr const char* kSourceDoc =
    "``source`` is a path (``str`` or ``os.PathLike``), a bytes-like object holding the document\n"
    "itself, or a binary file object (anything with ``readinto`` or ``read``, such as\n"
    "``open(path, 'rb')``, ``sys.stdin.buffer`` or ``gzip.open(path)``). Ctrl-C stops the reading\n"
    "at once, whatever the source.\n\n"
    "Raises FileNotFoundError, IsADirectoryError or OSError (with errno) when the document cannot\n"
    "be read, MemoryError when memory runs out, and TypeError for a source of another kind, for\n"
    "bytes that hold a path rather than a document (give a path as str) and for a str that holds\n"
    "a document rather than a path (give a document as bytes). An exception raised by the file\n"
    "object's read propagates unchanged; a result of the wrong kind from it raises TypeError, a\n"
    "count out of range ValueError. A document that gives no record at all warns once with\n"
    "NoRecordWarning, saying why when its first bytes tell (empty, UTF-16, not markup).";

void DefineRecord(py::module_& m) {
    py::class_<Record> record(m, "Record",
                              "A record as it stands at its end, copied out of the reader: its fields under\n"
                              "their own names, its values as NumPy arrays, its statistics and its report.");
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
        .def("__repr__", &Record::Repr);
}

}  // namespace

PYBIND11_MODULE(_zelreport, m) {
    m.doc() = "The compiled part of the zelreport package; use it through `import zelreport`.";
    m.attr("__version__") = ZELREPORT_VERSION;
    // NumPy's API and dtypes are looked up once, into statics: here, under
    // the import lock, rather than at a first use where two threads could
    // meet in the static's guard, one of them holding the GIL.
    py::array_t<float>(0);
    py::array_t<std::int32_t>(0);
    DefineRecord(m);
    m.attr("NoRecordWarning") = NoRecordWarning();
    py::class_<RecordIterator>(m, "RecordIterator",
                               "The records of a document, read as they are asked for. Leaving a loop\n"
                               "early, close() or the end of a with block stops the reading. Threads may\n"
                               "share one: each record goes to one of them. In a process forked from the\n"
                               "one that made it, taking a record raises RuntimeError.")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &RecordIterator::Next)
        .def("close", &RecordIterator::Close,
             "Stops reading, frees the records not yet taken and lets go of the source. Safe\n"
             "from any thread, any number of times, also while another thread takes a record.")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](RecordIterator& self, py::args) { self.Close(); });
    static const std::string records_doc =
        std::string(
            "The document's records, streaming: memory follows the records "
            "in flight, not the\ndocument. ") +
        kSourceDoc;
    static const std::string report_doc =
        std::string(
            "The whole text zelreport writes for the document, decoded as UTF-8 with 'surrogateescape',\n"
            "so that .encode('utf-8', 'surrogateescape') gives its bytes exactly. ") +
        kSourceDoc;
    m.def(
        "records", [](py::handle source) { return std::make_unique<RecordIterator>(source); },
        py::arg("source"), records_doc.c_str());
    m.def("report", &Report, py::arg("source"), report_doc.c_str());
}

}  // namespace zelreport::python
