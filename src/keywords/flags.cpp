// SPDX-License-Identifier: MIT
#include "elements/elements.h"
#include "keywords/keywords.h"
#include "reader/element_names.h"
#include "record/record.h"

namespace zelreport {

// The structural names, every field that an element sets (texts read whole,
// integers read as numbers, the dropped ones too), "level", whose number
// is dropped, and the values.
const KeywordRow flags[] = {
    {"?xml", SkipTag},
    {kRootName.data(), SkipTag},
    {kRecordName.data(), SkipTag},
#define ZELREPORT_TEXT_ROW(name, label) {#name, ParseString<&Record::name>},
#define ZELREPORT_INT_ROW_stored(name) {#name, ParseIntField<&Record::name, false>},
#define ZELREPORT_INT_ROW_negated(name) {#name, ParseIntField<&Record::name, true>},
#define ZELREPORT_INT_ROW_dropped(name) {#name, ParseInt},
#define ZELREPORT_INT_ROW_absent(name)
#define ZELREPORT_INT_ROW(name, label, rule) ZELREPORT_INT_ROW_##rule(name)
    ZELREPORT_FIELDS(ZELREPORT_TEXT_ROW, ZELREPORT_INT_ROW)
#undef ZELREPORT_TEXT_ROW
#undef ZELREPORT_INT_ROW
        {"level", ParseInt},
    {kValuesName.data(), ParseValues},
    {kDataName.data(), SkipTag},
    {nullptr, nullptr},
};

}  // namespace zelreport
