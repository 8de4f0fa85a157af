// SPDX-License-Identifier: MIT
// The compiled part of the Python package: records() and report() over
// the library, and the Record they give.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <memory>
#include <span>
#include <string>
#include <utility>

#include "columns.h"
#include "lazy_values.h"
#include "no_record.h"
#include "record_data.h"
#include "record_object.h"
#include "source.h"
#include "stream.h"
#include "zelreport/version.h"

namespace zelreport::python {

namespace {

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

// The records of a document as blocks of columns (see Columns), each with
// its first record's number and the Record objects of the records numbered
// up to `kept` in it.
class TableBlocks {
public:
    TableBlocks(py::handle source, std::size_t block, std::uint64_t kept)
        : stream_(source), block_(std::max<std::size_t>(block, 1)), kept_(kept) {}
    py::dict Next() {
        Columns columns(false);
        py::list records;
        std::uint64_t first = taken_ + 1;
        RecordData data;
        while (!ended_ && columns.size() < block_) {
            if (!stream_.Next(data)) {
                ended_ = true;
                break;
            }
            ++taken_;
            columns.Add(ViewOf(data, data.values.floatdata.span(), data.values.intdata.span()), nullptr);
            if (taken_ <= kept_) records.append(py::cast(Record(std::move(data))));
        }
        if (columns.size() == 0) throw py::stop_iteration();
        py::dict block = columns.Take();
        block["first"] = first;
        block["records"] = records;
        return block;
    }
    void Close() { stream_.Close(); }

private:
    RecordStream stream_;
    std::size_t block_;
    std::uint64_t kept_;
    std::uint64_t taken_ = 0;
    bool ended_ = false;
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
    DefineLazyValues(m);
    // Every field once, in the report's order: (name, "text" or "int", how an
    // element sets it: "stored", "negated", "dropped", "absent").
    py::list fields;
#define ZELREPORT_FIELD_TEXT(name, label) fields.append(py::make_tuple(#name, "text", "stored"));
#define ZELREPORT_FIELD_INT(name, label, rule) fields.append(py::make_tuple(#name, "int", #rule));
    ZELREPORT_FIELDS(ZELREPORT_FIELD_TEXT, ZELREPORT_FIELD_INT)
#undef ZELREPORT_FIELD_TEXT
#undef ZELREPORT_FIELD_INT
    m.attr("FIELDS") = py::tuple(fields);
    m.attr("NoRecordWarning") = NoRecordWarning();
    py::class_<TableBlocks>(m, "TableBlocks",
                            "The records of a document as blocks of columns, read as they are asked for.")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &TableBlocks::Next)
        .def("close", &TableBlocks::Close)
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](TableBlocks& self, py::args) { self.Close(); });
    m.def(
        "table_blocks",
        [](py::handle source, std::size_t block, std::uint64_t kept) {
            return std::make_unique<TableBlocks>(source, block, kept);
        },
        py::arg("source"), py::arg("block"), py::arg("kept") = 0,
        "The document's records, read and converted, as blocks of at most `block` records:\n"
        "each a dict of arrays by field (texts as (codes, texts)), 'kind', 'count' (-1: no\n"
        "values), 'min', 'max' and 'avg' (NaN where 'has_statistics' is false), 'first' (the\n"
        "number of its first record, from 1) and 'records' (the Record of each record numbered\n"
        "up to `kept` in the block).");
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
