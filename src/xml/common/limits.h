// SPDX-License-Identifier: MIT
// The limits of the XML side: zelreport's own reading limits, and the
// most that zelcheck and zelfmt hold or write at a time.
#pragma once

#include <cstddef>

#include "reader/limits.h"

namespace zelreport::xml {

// zelreport cuts element names and text contents at these.
inline constexpr std::size_t kNameLimit = kMaxNameLength;
inline constexpr std::size_t kTextLimit = MAX_SIZE;

// Input is read, parsed and handed on in blocks of this size.
inline constexpr std::size_t kBlockSize = 256 * 1024;
// expat holds an unfinished tag, comment or processing instruction whole,
// and reads it again from its start with every block: a document that
// makes it hold more than this is refused. No record needs a tenth of it.
inline constexpr std::size_t kMaxMarkupMiB = 1;
inline constexpr std::size_t kMaxMarkupBytes = kMaxMarkupMiB << 20;
// Elements nested deeper than this are refused: each level costs memory.
inline constexpr std::size_t kMaxDepth = 256;
// An integer content is kept up to this many bytes; no valid one is longer.
inline constexpr std::size_t kMaxIntegerBytes = 64;
// Layout problems, and elements the meaning does not take, kept per
// record; a record rarely has more than a few.
inline constexpr std::size_t kMaxProblems = 256;

}  // namespace zelreport::xml
