// SPDX-License-Identifier: MIT
#include "xml/compare/report_places.h"

#include <string.h>

#include <algorithm>

namespace zelreport::xml {

void TriggerFinder::Find(const char* data, std::size_t size, std::uint64_t offset, std::vector<Cut>& cuts) {
    cuts.clear();
    const std::uint64_t end = offset + size;
    std::vector<std::uint64_t> names;
    names.swap(pending_);
    // Names that straddle the block boundary.
    std::string joint = carry_;
    joint.append(data, std::min(size, kRecordEndName.size() - 1));
    std::uint64_t joint_offset = offset - carry_.size();
    for (std::size_t at = joint.find(kRecordEndName); at != std::string::npos && at < carry_.size();
         at = joint.find(kRecordEndName, at + 1))
        names.push_back(joint_offset + at);
    // Names inside the block.
    for (const char* p = data; p < data + size;) {
        const void* found = memmem(p, static_cast<std::size_t>(data + size - p), kRecordEndName.data(),
                                   kRecordEndName.size());
        if (!found) break;
        const char* at = static_cast<const char*>(found);
        names.push_back(offset + static_cast<std::uint64_t>(at - data));
        p = at + 1;
    }
    for (std::uint64_t name : names) {
        if (name > offset && name < end) cuts.push_back({name});
        if (name + kTriggerSize <= end)
            cuts.push_back({name + kTriggerSize, name});
        else
            pending_.push_back(name);
    }
    // A trigger cut wins over a plain one at the same place.
    std::sort(cuts.begin(), cuts.end(), [](const Cut& a, const Cut& b) {
        return a.offset != b.offset ? a.offset < b.offset : a.trigger < b.trigger;
    });
    cuts.erase(std::unique(cuts.begin(), cuts.end(),
                           [](const Cut& a, const Cut& b) { return a.offset == b.offset; }),
               cuts.end());
    // Keep the stream's last bytes for a name that starts there.
    constexpr std::size_t kCarry = kRecordEndName.size() - 1;
    if (size >= kCarry) {
        carry_.assign(data + size - kCarry, kCarry);
    } else {
        carry_.append(data, size);
        if (carry_.size() > kCarry) carry_.erase(0, carry_.size() - kCarry);
    }
}

}  // namespace zelreport::xml
