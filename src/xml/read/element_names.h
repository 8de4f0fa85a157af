// SPDX-License-Identifier: MIT
// The record fields as elements of an XML document, and what an element
// name stands for (the structural names are the reader's own).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "reader/element_names.h"
#include "zelreport/fields.h"

namespace zelreport::xml {

enum class Field : std::uint8_t {
#define ZELXML_FIELD_TEXT(name, label) name,
#define ZELXML_FIELD_INT(name, label, rule) name,
    ZELREPORT_FIELDS(ZELXML_FIELD_TEXT, ZELXML_FIELD_INT)
#undef ZELXML_FIELD_TEXT
#undef ZELXML_FIELD_INT
};

// How a field's element sets it: a text, a number stored as written or
// negated, a number zelreport drops (always 0), or no element at all.
enum class FieldKind : std::uint8_t { text, stored, negated, dropped, absent };

struct FieldInfo {
    std::string_view name;
    FieldKind kind;
};

inline constexpr FieldInfo kFields[] = {
#define ZELXML_INFO_TEXT(name, label) {#name, FieldKind::text},
#define ZELXML_INFO_INT(name, label, rule) {#name, FieldKind::rule},
    ZELREPORT_FIELDS(ZELXML_INFO_TEXT, ZELXML_INFO_INT)
#undef ZELXML_INFO_TEXT
#undef ZELXML_INFO_INT
};
inline constexpr std::size_t kFieldCount = std::size(kFields);

constexpr const FieldInfo& Info(Field field) {
    return kFields[static_cast<std::size_t>(field)];
}

// Fields whose value reaches the report: texts and numbers not dropped.
constexpr bool IsReported(Field field) {
    FieldKind kind = Info(field).kind;
    return kind == FieldKind::text || kind == FieldKind::stored || kind == FieldKind::negated;
}

// What an element name stands for.
enum class Name : std::uint8_t { other, root, record, data, values, field };
struct ElementName {
    Name name = Name::other;
    Field field = Field::nomvar;  // for Name::field
};

ElementName Classify(std::string_view name);

}  // namespace zelreport::xml
