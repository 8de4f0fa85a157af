// SPDX-License-Identifier: MIT
#include "xml/compare/feeder.h"

#include <string.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace zelreport::xml {

std::size_t Feeder::Hand(char* buffer, std::size_t capacity) {
    if (handed_ >= chunk_.size) return 0;
    std::uint64_t at = chunk_.offset + handed_;
    while (next_cut_ < cuts_.size() && cuts_[next_cut_].offset <= at) ++next_cut_;
    std::uint64_t cut = next_cut_ < cuts_.size() ? cuts_[next_cut_].offset : chunk_.offset + chunk_.size;
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(cut - at, capacity));
    const char* bytes = chunk_.bytes.get() + handed_;
    std::memcpy(buffer, bytes, n);
    bool ends_at_trigger =
        at + n == cut && next_cut_ < cuts_.size() && cuts_[next_cut_].trigger != kNoTrigger;
    piece_ = {at, ends_at_trigger ? cuts_[next_cut_].trigger : kNoTrigger, line_, line_start_};
    CountLines(bytes, n, at);
    handed_ += n;
    return n;
}

void Feeder::CountLines(const char* bytes, std::size_t n, std::uint64_t at) {
    line_ += static_cast<std::uint64_t>(std::count(bytes, bytes + n, '\n'));
    if (const void* last = memrchr(bytes, '\n', n))
        line_start_ = at + static_cast<std::uint64_t>(static_cast<const char*>(last) - bytes) + 1;
}

bool Feeder::Next(std::vector<std::unique_ptr<XmlRecord>>& records, std::vector<Unused>& loose) {
    if (ended_) return false;
    std::optional<ParsedBlock> next = parse_.Next();
    if (!next) {
        ended_ = true;
        return false;
    }
    blocks_.Give(std::move(chunk_.bytes));
    chunk_ = std::move(*next);
    handed_ = next_cut_ = 0;
    // A report at end of input comes after the last piece: place it here.
    piece_ = {chunk_.offset, kNoTrigger, line_, line_start_};
    ended_ = chunk_.last;
    if (chunk_.trouble) {
        // The records that ended before the trouble are compared: zelreport
        // reads up to its place.
        trouble_ = chunk_.trouble;
        std::uint64_t place = trouble_->at.line > 0 ? trouble_->at.offset : chunk_.offset;
        chunk_.size = static_cast<std::size_t>(std::clamp(place, chunk_.offset, chunk_.offset + chunk_.size) -
                                               chunk_.offset);
    }
    for (std::unique_ptr<XmlRecord>& record : chunk_.records) records.push_back(std::move(record));
    chunk_.records.clear();
    for (Unused& unused : chunk_.loose) loose.push_back(std::move(unused));
    chunk_.loose.clear();
    if (chunk_.root_end) root_end_ = chunk_.root_end;
    finder_.Find(chunk_.bytes.get(), chunk_.size, chunk_.offset, cuts_);
    return true;
}

Position Feeder::PositionOf(std::uint64_t offset) const {
    const std::uint64_t first = chunk_.offset;
    offset = std::clamp(offset, first, first + handed_);
    const char* bytes = chunk_.bytes.get();
    auto at = [&](std::uint64_t o) { return bytes + (o - first); };
    std::uint64_t line = piece_.line;
    if (offset >= piece_.start)
        line += static_cast<std::uint64_t>(std::count(at(piece_.start), at(offset), '\n'));
    else
        line -= static_cast<std::uint64_t>(std::count(at(offset), at(piece_.start), '\n'));
    std::uint64_t line_start = line == piece_.line ? piece_.line_start : first;
    if (const void* last = memrchr(bytes, '\n', static_cast<std::size_t>(offset - first)))
        line_start = first + static_cast<std::uint64_t>(static_cast<const char*>(last) - bytes) + 1;
    return {offset, line, offset - line_start + 1};
}

Position Feeder::TagPosition(std::uint64_t name) const {
    if (name > chunk_.offset && chunk_.bytes[name - 1 - chunk_.offset] == '<') --name;
    return PositionOf(name);
}

Position Feeder::StopPosition() const {
    std::string_view handed(chunk_.bytes.get(), handed_);
    std::size_t name = handed.rfind(kRootEndName);
    return name == std::string_view::npos ? PositionOf(piece_.start) : TagPosition(chunk_.offset + name);
}

}  // namespace zelreport::xml
