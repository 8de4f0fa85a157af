// SPDX-License-Identifier: MIT
#include "elements/values_helper.h"

#include <sched.h>

#include <cassert>
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

bool ValuesHelper::Worthwhile() {
    static const bool two = [] {
        cpu_set_t cpus;
        return sched_getaffinity(0, sizeof cpus, &cpus) == 0 && CPU_COUNT(&cpus) > 1;
    }();
    return two;
}

// Room for every token the run can hold, made before the hand-over so
// that the second thread never allocates. False when memory is refused:
// the run is then converted by the reader alone, in the room it has.
bool ValuesHelper::MakeRoom(std::size_t tokens, bool integers) {
    try {
        if (integers && ints_.size() < tokens) ints_.resize(tokens);
        if (!integers && floats_.size() < tokens) floats_.resize(tokens);
        scratch_.reserve(ValuesToken::kLongTokenBytes + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool ValuesHelper::Start(const char* begin, const char* end, bool integers) {
    assert(!busy_ && "a run was started and not waited for");
    assert(begin < end);
    if (refused_) return false;
    // Every token takes a byte and a separator.
    if (!MakeRoom(static_cast<std::size_t>(end - begin) / 2 + 1, integers)) return false;
    if (!thread_.joinable()) {
        StartedThread started = TryStartThread([this] { Work(); });
        if (!started.started()) {
            refused_ = true;
            return false;
        }
        thread_ = std::move(started.thread);
    }
    {
        std::lock_guard lock(mutex_);
        begin_ = begin, end_ = end, integers_ = integers;
        pending_ = true, done_ = false;
    }
    wake_.notify_all();
    busy_ = true;
    return true;
}

ValuesHelper::Done ValuesHelper::Wait() {
    assert(busy_ && "a wait for a run that was never started");
    if (!busy_) return {nullptr, {}, {}};  // nothing to wait for, never a hang
    busy_ = false;
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return done_; });
    if (integers_) return {stop_, {}, {ints_.data(), count_}};
    return {stop_, {floats_.data(), count_}, {}};
}

bool ValuesHelper::TakeBack() {
    assert(busy_ && "a take-back of a run that was never started");
    std::lock_guard lock(mutex_);
    if (!pending_) return false;
    pending_ = false;
    busy_ = false;
    return true;
}

void ValuesHelper::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return pending_ || quit_; });
        if (quit_) return;
        pending_ = false;
        const char* begin = begin_;
        const char* end = end_;
        bool integers = integers_;
        lock.unlock();
        NoTally none;
        const char* stop;
        std::size_t count;
        if (integers) {
            std::int32_t* out = ints_.data();
            stop = ConvertRun(begin, begin, end, end, out, ints_.data() + ints_.size(), none, scratch_);
            count = static_cast<std::size_t>(out - ints_.data());
        } else {
            float* out = floats_.data();
            stop = ConvertRun(begin, begin, end, end, out, floats_.data() + floats_.size(), none, scratch_);
            count = static_cast<std::size_t>(out - floats_.data());
        }
        lock.lock();
        stop_ = stop, count_ = count, done_ = true;
        wake_.notify_all();
    }
}

}  // namespace zelreport
