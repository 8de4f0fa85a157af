// SPDX-License-Identifier: MIT
#include "elements/values_helper.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cassert>
#include <cstdio>
#include <new>

#include "elements/short_run.h"
#include "reader/threads.h"

namespace zelreport {

ValuesHelper::~ValuesHelper() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

namespace {

// The processors this process may run on.
int Processors() {
    static const int count = [] {
        cpu_set_t cpus;
        return sched_getaffinity(0, sizeof cpus, &cpus) == 0 ? CPU_COUNT(&cpus) : 1;
    }();
    return count;
}

}  // namespace

bool ValuesHelper::Worthwhile() {
    return Processors() > 1;
}

// /proc/loadavg reads "1.00 0.50 0.25 R/T last": R threads runnable now,
// the caller's among them. Where it cannot be read, the measure decides.
bool ValuesHelper::ProcessorToSpare() {
    int fd = open("/proc/loadavg", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    char text[128];
    ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0) return true;
    text[n] = '\0';
    int running = 0;
    if (std::sscanf(text, "%*s %*s %*s %d/", &running) != 1) return true;
    return running < Processors();
}

// Cuts the tokens that begin in [begin, stop) into stretches of about
// kStretchBytes, each beginning with a token after a blank or tab, with
// room for the values of each: every token takes a byte and a separator.
void ValuesHelper::Plan(const char* begin, const char* stop) {
    stretches_.clear();
    std::size_t first = 0;
    for (const char* from = begin; from < stop;) {
        const char* to = stop;
        for (const char* s = from + kStretchBytes; s < stop - kStretchBytes / 2; ++s)
            if (StartsTokenAfterBlank(s)) {
                to = s;
                break;
            }
        stretches_.push_back({from, to, nullptr, first, 0});
        first += static_cast<std::size_t>(to - from) / 2 + 1;
        from = to;
    }
}

// The plan and the room for its results, made before the hand-over so
// that the second thread never allocates. False when memory is refused:
// the run is then converted by the reader alone, in the room it has.
bool ValuesHelper::MakeRoom(const char* begin, const char* stop, bool integers) {
    try {
        Plan(begin, stop);
        const Stretch& last = stretches_.back();
        std::size_t tokens = last.first + static_cast<std::size_t>(last.end - last.begin) / 2 + 1;
        std::size_t had = integers ? ints_.size() : floats_.size();
        if (integers && ints_.size() < tokens) ints_.resize(tokens);
        if (!integers && floats_.size() < tokens) floats_.resize(tokens);
        cold_ = (integers ? ints_.size() : floats_.size()) != had;
        scratch_.reserve(ValuesToken::kLongTokenBytes + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool ValuesHelper::Start(const char* floor, const char* begin, const char* stop, const char* end,
                         bool integers) {
    assert(!busy_ && "a run was started and not waited for");
    assert(floor <= begin && begin < stop && stop <= end);
    if (refused_) return false;
    if (!MakeRoom(begin, stop, integers)) return false;
    if (!thread_.joinable()) {
        StartedThread started = TryStartThread([this] { Work(); });
        if (!started.started()) {
            refused_ = true;
            return false;
        }
        thread_ = std::move(started.thread);
        cold_ = true;
    }
    {
        std::lock_guard lock(mutex_);
        floor_ = floor, end_ = end, integers_ = integers;
        next_stretch_.store(0, std::memory_order_relaxed);
        pending_ = true, done_ = false;
    }
    wake_.notify_all();
    busy_ = true;
    return true;
}

void ValuesHelper::ConvertStretches(std::string& scratch) {
    for (std::size_t i; (i = next_stretch_.fetch_add(1, std::memory_order_relaxed)) < stretches_.size();) {
        Stretch& stretch = stretches_[i];
        std::size_t room = static_cast<std::size_t>(stretch.end - stretch.begin) / 2 + 1;
        NoTally none;
        if (integers_) {
            std::int32_t* first = ints_.data() + stretch.first;
            std::int32_t* out = first;
            stretch.stop =
                ConvertRun(floor_, stretch.begin, stretch.end, end_, out, first + room, none, scratch);
            stretch.count = static_cast<std::size_t>(out - first);
        } else {
            float* first = floats_.data() + stretch.first;
            float* out = first;
            stretch.stop =
                ConvertRun(floor_, stretch.begin, stretch.end, end_, out, first + room, none, scratch);
            stretch.count = static_cast<std::size_t>(out - first);
        }
    }
}

// After the reader has taken its stretches: waits until the second thread
// has finished the ones it took, when it took part at all.
void ValuesHelper::WaitForWorker(bool worker_took_part) {
    if (!worker_took_part) return;
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return done_; });
}

ValuesHelper::Done ValuesHelper::Wait(std::string& scratch) {
    assert(busy_ && "a wait for a run that was never started");
    if (!busy_) return {};  // nothing to wait for, never a hang
    busy_ = false;
    bool worker_took_part;
    {
        // A job the second thread has not picked up is the reader's alone.
        std::lock_guard lock(mutex_);
        worker_took_part = !pending_;
        pending_ = false;
    }
    ConvertStretches(scratch);
    WaitForWorker(worker_took_part);
    return {stretches_, floats_, ints_};
}

void ValuesHelper::Cancel() {
    assert(busy_ && "a cancel of a run that was never started");
    if (!busy_) return;
    busy_ = false;
    bool worker_took_part;
    {
        std::lock_guard lock(mutex_);
        worker_took_part = !pending_;
        pending_ = false;
    }
    next_stretch_.store(stretches_.size(), std::memory_order_relaxed);
    WaitForWorker(worker_took_part);
}

void ValuesHelper::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return pending_ || quit_; });
        if (quit_) return;
        pending_ = false;
        lock.unlock();
        ConvertStretches(scratch_);
        lock.lock();
        done_ = true;
        wake_.notify_all();
    }
}

}  // namespace zelreport
