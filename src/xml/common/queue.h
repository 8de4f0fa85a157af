// SPDX-License-Identifier: MIT
// A queue between two threads that holds a bounded number of items, and
// the pools of things that go round between them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace zelreport::xml {

template <typename T>
class BoundedQueue {
public:
    explicit BoundedQueue(std::size_t capacity) : capacity_(capacity) {}

    // Waits for room; false once the queue is closed.
    bool Push(T item) {
        std::unique_lock lock(mutex_);
        not_full_.wait(lock, [&] { return closed_ || items_.size() < capacity_; });
        if (closed_) return false;
        items_.push_back(std::move(item));
        not_empty_.notify_one();
        return true;
    }

    // Waits for an item; none once the queue is closed.
    std::optional<T> Pop() {
        std::unique_lock lock(mutex_);
        not_empty_.wait(lock, [&] { return closed_ || !items_.empty(); });
        if (closed_) return std::nullopt;
        T item = std::move(items_.front());
        items_.pop_front();
        not_full_.notify_one();
        return item;
    }

    // Wakes both sides for good: the consumer has stopped.
    void Close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        not_full_.notify_all();
        not_empty_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable not_empty_, not_full_;
    std::deque<T> items_;
    const std::size_t capacity_;
    bool closed_ = false;
};

// Closes a queue when it goes out of scope, however its consumer leaves,
// so that the producer never waits on it for good.
template <typename T>
class CloseOnExit {
public:
    explicit CloseOnExit(BoundedQueue<T>& queue) : queue_(queue) {}
    ~CloseOnExit() { queue_.Close(); }
    CloseOnExit(const CloseOnExit&) = delete;
    CloseOnExit& operator=(const CloseOnExit&) = delete;

private:
    BoundedQueue<T>& queue_;
};

// Things handed back by one thread for the other to use again, instead of
// fresh allocations (and their page faults): input blocks, records.
template <typename T>
class Pool {
public:
    using Make = std::unique_ptr<T> (*)();
    explicit Pool(Make make) : make_(make) {}

    std::unique_ptr<T> Take() {
        {
            std::lock_guard lock(mutex_);
            if (!free_.empty()) {
                std::unique_ptr<T> item = std::move(free_.back());
                free_.pop_back();
                return item;
            }
        }
        return make_();
    }

    void Give(std::unique_ptr<T> item) {
        if (!item) return;
        std::lock_guard lock(mutex_);
        free_.push_back(std::move(item));
    }

private:
    const Make make_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<T>> free_;
};

}  // namespace zelreport::xml
