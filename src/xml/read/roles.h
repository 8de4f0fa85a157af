// SPDX-License-Identifier: MIT
// What an element means where it stands in a record document.
#pragma once

#include <cstdint>

#include "xml/read/element_names.h"
#include "xml/read/layout.h"

namespace zelreport::xml {

// What an element is where it stands.
enum class Role : std::uint8_t { root, record, data, values, text, integer, dropped, ignored };

constexpr Content ContentOf(Role role) {
    switch (role) {
        case Role::text:
            return Content::text;
        case Role::integer:
        case Role::dropped:
            return Content::integer;
        case Role::values:
            return Content::values;
        default:
            return Content::none;
    }
}

constexpr Name NameOf(Role role) {
    switch (role) {
        case Role::root:
            return Name::root;
        case Role::record:
            return Name::record;
        case Role::data:
            return Name::data;
        case Role::values:
            return Name::values;
        case Role::text:
        case Role::integer:
        case Role::dropped:
            return Name::field;
        case Role::ignored:
            break;
    }
    return Name::other;
}

// The role of an element named `name` under an element of role `parent`,
// the nearest around it that means something (an element that means
// nothing only wraps what it holds): records in the root, fields and
// values in a record or its zeldata, which only wraps them. Anything else
// carries no meaning.
constexpr Role RoleOf(ElementName name, Role parent) {
    if (parent == Role::root) return name.name == Name::record ? Role::record : Role::ignored;
    if (parent != Role::record && parent != Role::data) return Role::ignored;
    if (name.name == Name::data && parent == Role::record) return Role::data;
    if (name.name == Name::values) return Role::values;
    if (name.name != Name::field) return Role::ignored;
    switch (Info(name.field).kind) {
        case FieldKind::text:
            return Role::text;
        case FieldKind::dropped:
            return Role::dropped;
        default:
            return Role::integer;
    }
}

}  // namespace zelreport::xml
