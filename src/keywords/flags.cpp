#include "elements/elements.h"
#include "keywords/keywords.h"
#include "reader/context.h"

namespace zelreport {

const KeywordRow flags[] = {
    {"?xml", SkipTag},       {"orv-standard-file", SkipTag},
    {"zelrecord", SkipTag},  {"nomvar", ParseString},
    {"typvar", ParseString}, {"etiket", ParseString},
    {"grtyp", ParseString},  {"ip1", ParseInt},
    {"ip2", ParseInt},       {"ip3", ParseInt},
    {"ni", ParseInt},        {"nj", ParseInt},
    {"nk", ParseInt},        {"dateo", ParseInt},
    {"deet", ParseInt},      {"npas", ParseInt},
    {"npak", ParseInt},      {"ig1", ParseInt},
    {"ig2", ParseInt},       {"ig3", ParseInt},
    {"ig4", ParseInt},       {"nbits", ParseInt},
    {"datyp", ParseInt},     {"swa", ParseInt},
    {"lng", ParseInt},       {"dltf", ParseInt},
    {"ubc", ParseInt},       {"extra1", ParseInt},
    {"extra2", ParseInt},    {"extra3", ParseInt},
    {"level", ParseInt},     {"values", ParseValues},
    {"zeldata", SkipTag},    {nullptr, nullptr},
};

}  // namespace zelreport
