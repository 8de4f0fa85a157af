// SPDX-License-Identifier: MIT
#include "xml/read/values_text.h"

#include "record/pages.h"
#include "xml/read/content.h"

namespace zelreport::xml {

namespace {

// A block is closed once it holds this much; a token longer than that
// makes a block of its own, as long as the token.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

}  // namespace

void ValuesText::clear() {
    // One block of room is kept for the next record.
    if (blocks_.size() > 1) blocks_.resize(1);
    if (!blocks_.empty()) {
        blocks_[0].clear();
        if (blocks_[0].capacity() > kBlockBytes) std::string().swap(blocks_[0]);
    }
}

void ValuesText::append(const char* data, std::size_t size) {
    if (blocks_.empty()) blocks_.emplace_back();
    std::string* last = &blocks_.back();
    if (last->size() + size > kBlockBytes && !last->empty()) {
        // The unfinished token at the end moves on with the new block.
        std::size_t cut = last->size();
        while (cut > 0 && !IsXmlSpace((*last)[cut - 1])) --cut;
        std::string next;
        next.reserve(kBlockBytes);
        // A long text fills hundreds of blocks: their pages in one call each.
        MakePresentForWriting(next.data(), kBlockBytes);
        next.append(*last, cut, std::string::npos);
        last->resize(cut);
        blocks_.push_back(std::move(next));
        last = &blocks_.back();
    }
    last->append(data, size);
}

void ValuesText::TakeClosedBlocks(std::vector<std::string>& blocks) {
    if (blocks_.size() < 2) return;
    for (std::size_t i = 0; i + 1 < blocks_.size(); ++i) blocks.push_back(std::move(blocks_[i]));
    blocks_.erase(blocks_.begin(), blocks_.end() - 1);
}

bool ValuesText::Contains(char c) const {
    for (const std::string& block : blocks_)
        if (block.find(c) != std::string::npos) return true;
    return false;
}

}  // namespace zelreport::xml
