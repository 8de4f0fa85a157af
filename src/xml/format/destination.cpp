// SPDX-License-Identifier: MIT
#include "xml/format/destination.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

#include "reader/write_all.h"

namespace zelreport::xml {

namespace {

std::string TemporaryDirectory() {
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

// Whether `fd` is /dev/null, where nothing written is ever read.
bool IsNull(int fd) {
    struct stat out, null;
    return fstat(fd, &out) == 0 && stat("/dev/null", &null) == 0 && S_ISCHR(out.st_mode) &&
           out.st_rdev == null.st_rdev;
}

// Where a regular file open on `fd` is written from, when nothing stands
// after that place to lose by cutting the file back to it; else -1.
long long RegularEnd(int fd) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    off_t at = lseek(fd, 0, SEEK_CUR);
    return at >= 0 && at == st.st_size ? static_cast<long long>(at) : -1;
}

mode_t NewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

int OpenTemporary() {
    std::string dir = TemporaryDirectory();
    int fd = open(dir.c_str(), O_TMPFILE | O_RDWR, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
    std::string name = dir + "/zelfmt-XXXXXX";
    fd = mkstemp(name.data());
    if (fd >= 0) unlink(name.c_str());
    return fd;
}

Spool::~Spool() {
    if (file_ >= 0) close(file_);
}

bool Spool::Write(std::string_view text) {
    if (file_ < 0 && memory_.size() + text.size() <= kMemoryBytes) {
        memory_.append(text);
        return true;
    }
    if (file_ < 0) {
        file_ = OpenTemporary();
        if (file_ < 0 || !WriteAll(file_, memory_)) return false;
        std::string().swap(memory_);
    }
    return WriteAll(file_, text);
}

bool Spool::CopyTo(int fd) {
    if (file_ < 0) return WriteAll(fd, memory_);
    if (lseek(file_, 0, SEEK_SET) != 0) return false;
    std::vector<char> block(std::size_t{1} << 18);
    for (;;) {
        ssize_t n = read(file_, block.data(), block.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n == 0;
        if (!WriteAll(fd, std::string_view(block.data(), static_cast<std::size_t>(n)))) return false;
    }
}

int Spool::Settle() {
    if (file_ < 0) {
        file_ = OpenTemporary();
        if (file_ < 0 || !WriteAll(file_, memory_)) return -1;
        std::string().swap(memory_);
    }
    return file_;
}

Destination Destination::StandardOutput() {
    Destination d;
    d.fd_ = STDOUT_FILENO;
    d.start_ = RegularEnd(STDOUT_FILENO);
    d.kind_ = d.start_ >= 0 || IsNull(STDOUT_FILENO) ? direct : held;
    return d;
}

std::optional<Destination> Destination::File(const std::string& path, const std::string* mode_of) {
    Destination d;
    d.kind_ = temporary;
    d.path_ = path;
    std::size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    d.temporary_ = dir + "." + base + ".zelfmt-XXXXXX";
    d.fd_ = mkostemp(d.temporary_.data(), O_CLOEXEC);
    if (d.fd_ < 0) return std::nullopt;
    struct stat st;
    bool keep = mode_of && stat(mode_of->c_str(), &st) == 0;
    if (!keep) keep = stat(path.c_str(), &st) == 0;
    fchmod(d.fd_, keep ? st.st_mode & 07777 : NewFileMode());
    return d;
}

Destination Destination::Held() {
    return Destination();
}

Destination::Destination(Destination&& other) noexcept
    : kind_(other.kind_),
      fd_(std::exchange(other.fd_, -1)),
      start_(other.start_),
      path_(std::move(other.path_)),
      temporary_(std::exchange(other.temporary_, {})) {
    other.kind_ = held;
}

Destination::~Destination() {
    if (kind_ == temporary && !temporary_.empty()) Abandon();
}

Output::Sink Destination::sink() {
    if (kind_ == held) return [this](std::string_view text) { return spool_.Write(text); };
    return WriteToFd(fd_);
}

bool Destination::Commit() {
    switch (kind_) {
        case direct:
            return true;
        case held:
            return fd_ < 0 || spool_.CopyTo(fd_);
        case temporary: {
            int fd = std::exchange(fd_, -1);
            bool done = close(fd) == 0 && rename(temporary_.c_str(), path_.c_str()) == 0;
            int error = errno;
            if (!done) unlink(temporary_.c_str());
            temporary_.clear();
            errno = error;
            return done;
        }
    }
    return false;
}

void Destination::Abandon() {
    if (kind_ == direct && start_ >= 0) {
        // Cut a regular file back to where this output began.
        if (ftruncate(fd_, static_cast<off_t>(start_)) == 0) lseek(fd_, static_cast<off_t>(start_), SEEK_SET);
    }
    if (kind_ == temporary && !temporary_.empty()) {
        if (fd_ >= 0) close(std::exchange(fd_, -1));
        unlink(temporary_.c_str());
        temporary_.clear();
    }
}

}  // namespace zelreport::xml
