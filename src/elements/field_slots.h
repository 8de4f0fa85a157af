// SPDX-License-Identifier: MIT
// The record fields that elements set, found from the element name's first
// eight bytes as one word through a table of 64 slots with no two fields
// in one: a lookup is a multiply, a shift and one compare.
#pragma once

#include <cstdint>
#include <string_view>
#include <type_traits>

#include "keywords/keywords.h"
#include "reader/sweep.h"

namespace zelreport {

// A name of up to eight bytes as one word; 0 for a longer one.
constexpr std::uint64_t PackWord(std::string_view name) {
    if (name.size() > 8) return 0;
    if (std::is_constant_evaluated()) {
        std::uint64_t word = 0;
        for (std::size_t i = 0; i < name.size(); ++i)
            word |= std::uint64_t{static_cast<unsigned char>(name[i])} << (8 * i);
        return word;
    }
    return Pack(name).words[0];
}

// A handler's name as PackWord packs it, with one word load: the document
// loop's name buffer has room for it past the name's end.
inline std::uint64_t LoopNameWord(std::string_view name) {
    return name.size() > 8 ? 0 : Load8(name.data()) & BytesBefore(static_cast<int>(name.size()));
}

// A field an element of that name sets: `flag` is the setter's own
// (for integers, whether the number is stored negated).
template <typename Member>
struct FieldSetter {
    const char* name;
    Member field;
    bool flag;
};

template <typename Member>
struct FieldSlot {
    std::uint64_t name = 0;  // no field's name packs to 0
    Member field = nullptr;
    bool flag = false;
};

template <typename Member, std::size_t N>
class FieldSlots {
public:
    constexpr explicit FieldSlots(const FieldSetter<Member> (&setters)[N])
        : multiplier_(FindMultiplier(setters)) {
        for (const FieldSetter<Member>& setter : setters)
            slots_[SlotOf(PackWord(setter.name), multiplier_)] = {PackWord(setter.name), setter.field,
                                                                  setter.flag};
    }

    // The slot of the field named by `word` (as PackWord packs it), or
    // nullptr when no field has that name.
    const FieldSlot<Member>* Find(std::uint64_t word) const {
        const FieldSlot<Member>& slot = slots_[SlotOf(word, multiplier_)];
        return slot.name == word && word != 0 ? &slot : nullptr;
    }

private:
    static constexpr int kSlotBits = 6;
    static constexpr unsigned SlotOf(std::uint64_t word, std::uint64_t multiplier) {
        return static_cast<unsigned>((word * multiplier) >> (64 - kSlotBits));
    }
    // The first odd multiplier that gives every field a slot of its own.
    static constexpr std::uint64_t FindMultiplier(const FieldSetter<Member> (&setters)[N]) {
        for (std::uint64_t multiplier = 0x9E3779B97F4A7C15;;
             multiplier = multiplier * 6364136223846793005u + 2) {
            bool taken[1 << kSlotBits] = {};
            bool clash = false;
            for (const FieldSetter<Member>& setter : setters) {
                unsigned slot = SlotOf(PackWord(setter.name), multiplier);
                clash = clash || taken[slot];
                taken[slot] = true;
            }
            if (!clash) return multiplier;
        }
    }

    std::uint64_t multiplier_;
    FieldSlot<Member> slots_[1 << kSlotBits]{};
};

}  // namespace zelreport
