// SPDX-License-Identifier: MIT
#include "elements/values_helper.h"

#include <sched.h>

#include "elements/short_run.h"

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

void ValuesHelper::Start(const char* begin, const char* end, bool integers) {
    // Room for every token the run can hold (a byte and a separator each),
    // made here so that the second thread never allocates.
    std::size_t most = static_cast<std::size_t>(end - begin) / 2 + 1;
    if (integers && ints_.size() < most) ints_.resize(most);
    if (!integers && floats_.size() < most) floats_.resize(most);
    scratch_.reserve(ValuesToken::kLongTokenBytes + 1);
    if (!thread_.joinable()) thread_ = std::thread(&ValuesHelper::Work, this);
    {
        std::lock_guard lock(mutex_);
        begin_ = begin, end_ = end, integers_ = integers;
        pending_ = true, done_ = false;
    }
    wake_.notify_all();
}

ValuesHelper::Done ValuesHelper::Wait() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return done_; });
    if (integers_) return {stop_, {}, {ints_.data(), count_}};
    return {stop_, {floats_.data(), count_}, {}};
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
