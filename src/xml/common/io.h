// SPDX-License-Identifier: MIT
// Reading a document and writing results, from and to file descriptors
// or anything else that takes or gives bytes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace zelreport::xml {

// Fills `buffer` with up to `capacity` bytes: the count, 0 at end of
// input, -1 with errno set on a read error.
using ReadFn = std::function<long(char* buffer, std::size_t capacity)>;

ReadFn ReadFromFd(int fd);
ReadFn ReadFromMemory(std::string_view document);

// Buffered output; once a write fails, everything else is dropped.
class Output {
public:
    using Sink = std::function<bool(std::string_view)>;
    explicit Output(Sink sink) : sink_(std::move(sink)) {}
    ~Output() { Flush(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void Write(std::string_view text) {
        buffer_.append(text);
        if (buffer_.size() >= kFlushSize) Flush();
    }
    // Room for text written in place; the caller appends to it.
    std::string& buffer() { return buffer_; }
    void FlushIfFull() {
        if (buffer_.size() >= kFlushSize) Flush();
    }
    bool Flush();
    bool failed() const { return failed_; }
    int error() const { return error_; }  // errno of the failed write

private:
    static constexpr std::size_t kFlushSize = 256 * 1024;
    Sink sink_;
    std::string buffer_;
    bool failed_ = false;
    int error_ = 0;
};

Output::Sink WriteToFd(int fd);
Output::Sink AppendTo(std::string& text);

// The name a document goes by in messages: as given, "<stdin>" for "-".
inline constexpr std::string_view kStdinName = "<stdin>";
std::string DocumentName(std::string_view argument);

}  // namespace zelreport::xml
