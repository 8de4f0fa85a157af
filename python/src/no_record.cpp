// SPDX-License-Identifier: MIT
#include "no_record.h"

#include <string>

#include "reader/element_names.h"

namespace zelreport::python {

namespace {

struct CauseText {
    NoRecordCause cause;
    const char* text;
};

constexpr CauseText kCauseTexts[] = {
    {NoRecordCause::empty, "the document is empty"},
    {NoRecordCause::wide_encoding,
     "its first bytes hold zero bytes, as UTF-16 and UTF-32 text does; a document is read as UTF-8 "
     "(convert it, e.g. with iconv -t UTF-8)"},
    {NoRecordCause::no_markup, "its first bytes hold no '<': it is not a record document"},
    {NoRecordCause::records_misread,
     "it has <zelrecord> elements, but none in the layout that is read (zelcheck says why; zelfmt "
     "rewrites the document)"},
    {NoRecordCause::no_root, "it does not begin with the root element <orv-standard-file>"},
    {NoRecordCause::unknown, "no <zelrecord> element in its first bytes ended as a record"},
};

// Whether `head` holds "<" and `name` (a tag of that name, or of a longer one).
bool HoldsOpeningTag(std::string_view head, std::string_view name) {
    for (std::size_t at = head.find('<'); at != std::string_view::npos; at = head.find('<', at + 1))
        if (head.substr(at + 1, name.size()) == name) return true;
    return false;
}

const char* Explain(NoRecordCause cause) {
    for (const CauseText& row : kCauseTexts)
        if (row.cause == cause) return row.text;
    return "";
}

}  // namespace

NoRecordCause FindNoRecordCause(std::string_view head, std::uint64_t size) {
    if (size == 0) return NoRecordCause::empty;
    if (head.find('\0') != std::string_view::npos) return NoRecordCause::wide_encoding;
    if (head.find('<') == std::string_view::npos) return NoRecordCause::no_markup;
    if (HoldsOpeningTag(head, kRecordName)) return NoRecordCause::records_misread;
    if (!HoldsOpeningTag(head, kRootName)) return NoRecordCause::no_root;
    return NoRecordCause::unknown;
}

py::handle NoRecordWarning() {
    // Made once and kept for the life of the process, like a built-in.
    static PyObject* category = PyErr_NewExceptionWithDoc(
        "zelreport.NoRecordWarning",
        "Warned when a document gives no record at all, with the reason when its first bytes tell it.",
        PyExc_UserWarning, nullptr);
    if (!category) throw py::error_already_set();
    return category;
}

void WarnNoRecord(const Source& source) {
    std::string message =
        source.name() + " gave no record: " + Explain(FindNoRecordCause(source.head(), source.size()));
    if (PyErr_WarnEx(NoRecordWarning().ptr(), message.c_str(), 1) != 0) throw py::error_already_set();
}

}  // namespace zelreport::python
