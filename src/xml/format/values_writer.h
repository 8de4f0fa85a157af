// SPDX-License-Identifier: MIT
// The values of a record as zelfmt writes them: the tokens as written,
// one blank between them, on lines that continue with a blank.
#pragma once

#include <cstddef>
#include <string_view>

#include "xml/common/io.h"

namespace zelreport::xml {

// A values line is broken at the first token end past this many bytes;
// the next line begins with a blank, which continues the values.
inline constexpr std::size_t kValuesLineBytes = 240;

// Writes the tokens of a values text, given in pieces that each end
// between tokens (the white space that ends a piece separates its last
// token from the next piece's first); "<", ">" and "&" become entities,
// which zelreport reads as a byte that ends a number, like the character.
// Stretches of the text that come out unchanged are copied in one go.
class ValuesWriter {
public:
    explicit ValuesWriter(Output& out) : out_(out), free_(room_) {}
    ~ValuesWriter() { Flush(); }
    ValuesWriter(const ValuesWriter&) = delete;
    ValuesWriter& operator=(const ValuesWriter&) = delete;

    void Write(std::string_view text);
    bool wrote_any() const { return any_; }
    // Hands what is written so far to the output.
    void Flush();

private:
    const char* TakePlainRun(const char* p, const char* end, const char*& same);
    void Copy(const char* from, const char* to) {
        Put(std::string_view(from, static_cast<std::size_t>(to - from)));
    }
    // The blank between two tokens, or a line break and a blank.
    void Separate();
    void Put(std::string_view text);

    // The output goes through a room of its own first: many short pieces
    // cost less there than appended one by one.
    static constexpr std::size_t kRoomBytes = 64 * 1024;
    Output& out_;
    char room_[kRoomBytes];
    char* free_;
    std::size_t line_ = 0;     // bytes on the line being written
    bool any_ = false;         // a token was written
    bool blank_owed_ = false;  // a piece ended in white space after a token
};

}  // namespace zelreport::xml
