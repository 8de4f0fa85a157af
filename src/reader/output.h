// SPDX-License-Identifier: MIT
// Report text waiting to be handed to the caller's output.
#pragma once

#include <cstddef>
#include <string>

#include "zelreport/zelreport.h"

namespace zelreport {

// Pending text is handed on once it grows past this, between reports.
constexpr std::size_t kOutputFlushSize = 64 * 1024;

struct Output {
    std::string text;
    const Handlers* handlers = nullptr;
    bool failed = false;

    // Hands the pending text to the output; false once a write failed.
    bool Flush();
    // Called after each whole report or message.
    bool FlushIfFull() { return text.size() < kOutputFlushSize || Flush(); }
};

}  // namespace zelreport
