// SPDX-License-Identifier: MIT
// Where zelfmt writes, so that a refusal or a failed read leaves nothing
// behind: standard output, held until the document is known good (written
// as it comes to a regular file, which is cut back on failure, or to
// /dev/null); or a file, written to a temporary beside it and renamed over
// it only on success.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "xml/common/io.h"

namespace zelreport::xml {

// A file that no one else sees and that goes when closed: in $TMPDIR (or
// /tmp). Its descriptor, or -1 with errno set.
int OpenTemporary();

// Writes what is held beyond `memory_bytes` to a temporary file: memory
// stays bounded whatever the size of the output.
class Spool {
public:
    static constexpr std::size_t kMemoryBytes = std::size_t{8} << 20;

    Spool() = default;
    ~Spool();
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    bool Write(std::string_view text);
    // Hands everything held to `fd`, from the start; false with errno set.
    bool CopyTo(int fd);
    // A descriptor of everything written so far, or -1: a file on disk
    // once it holds everything.
    int Settle();

private:
    std::string memory_;
    int file_ = -1;
};

class Destination {
public:
    // Standard output.
    static Destination StandardOutput();
    // `path`, through a temporary in its directory; `mode_of`: the file
    // whose permissions the result takes (the original, in place), if any.
    // Fails with errno set when the temporary cannot be made.
    static std::optional<Destination> File(const std::string& path, const std::string* mode_of);
    // Nowhere but a spool, for --check and --diff.
    static Destination Held();

    Destination(Destination&& other) noexcept;
    Destination& operator=(Destination&&) = delete;
    ~Destination();

    Output::Sink sink();
    // The document is good: makes the output seen. False with errno set.
    bool Commit();
    // The document is not: leaves nothing behind.
    void Abandon();
    // With Held(): the output, settled in a file (-1 on failure).
    int HeldFile() { return spool_.Settle(); }

private:
    enum Kind { direct, held, temporary } kind_ = held;
    Destination() = default;

    int fd_ = -1;           // standard output, or the temporary
    long long start_ = -1;  // where a regular standard output began
    Spool spool_;
    std::string path_, temporary_;
};

}  // namespace zelreport::xml
