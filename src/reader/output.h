// SPDX-License-Identifier: MIT
// Report text waiting to be handed to the caller's output.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "zelreport/zelreport.h"

namespace zelreport {

// Pending text is handed on once it grows past this, between reports.
constexpr std::size_t kOutputFlushSize = 64 * 1024;

// The pending text lives at the start of `buffer_`, which only grows, so
// that writing into it costs no zero-filling.
class Output {
public:
    const Handlers* handlers = nullptr;
    bool failed = false;

    // Room for `size` bytes past the pending text; Commit takes them in up
    // to `end`.
    char* Reserve(std::size_t size) {
        if (size_ + size > buffer_.size()) buffer_.resize(std::max(2 * buffer_.size(), size_ + size));
        return buffer_.data() + size_;
    }
    void Commit(const char* end) { size_ = static_cast<std::size_t>(end - buffer_.data()); }
    void Append(std::string_view text) {
        std::memcpy(Reserve(text.size()), text.data(), text.size());
        size_ += text.size();
    }
    std::string_view text() const { return {buffer_.data(), size_}; }

    // Hands the pending text to the output; false once a write failed.
    bool Flush();
    // Called after each whole report or message.
    bool FlushIfFull() { return size_ < kOutputFlushSize || Flush(); }

private:
    std::string buffer_;
    std::size_t size_ = 0;
};

}  // namespace zelreport
