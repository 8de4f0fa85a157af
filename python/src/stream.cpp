// SPDX-License-Identifier: MIT
#include "stream.h"

#include <chrono>
#include <utility>

namespace zelreport::python {

namespace {

// The queue holds at most this many records and, beyond its first record,
// at most this many bytes of them.
constexpr std::size_t kMaxQueuedRecords = 256;
constexpr std::size_t kMaxQueuedBytes = std::size_t{32} << 20;
// How often a waiting consumer lets Python handle signals.
constexpr std::chrono::milliseconds kSignalCheckInterval{50};

}  // namespace

RecordStream::RecordStream(py::handle source) : source_(std::make_unique<Source>(source)) {}

RecordStream::~RecordStream() { Close(); }

void RecordStream::Close() {
    {
        std::lock_guard lock(mutex_);
        control_.cancelled = true;
        queue_.clear();
    }
    changed_.notify_all();
    Join();
    taken_.clear();
}

void RecordStream::Join() {
    started_ = finished_ = true;
    if (!thread_.started()) return;
    py::gil_scoped_release release;
    thread_.thread.join();
}

void RecordStream::Start() {
    started_ = true;
    thread_ = TryStartThread([this] { Produce(); });
    if (thread_.started()) return;
    // No thread: the whole document now, on this thread, with signals
    // handled between its blocks and records.
    bounded_ = false;
    control_.check_signals = true;
    {
        py::gil_scoped_release release;
        Produce();
    }
    if (control_.interrupted) Finish();
}

void RecordStream::Produce() {
    Result result = source_->Run(
        [this](const RecordView& view) {
            if (control_.KeepGoing()) Push(CopyRecord(view));
        },
        nullptr, control_);
    {
        std::lock_guard lock(mutex_);
        result_ = result;
        produced_all_ = true;
    }
    changed_.notify_all();
}

void RecordStream::Push(RecordData&& record) {
    std::size_t bytes = record.Bytes();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
        return control_.cancelled || !bounded_ || queue_.empty() ||
               (queue_.size() < kMaxQueuedRecords && queued_bytes_ + bytes <= kMaxQueuedBytes);
    });
    if (control_.cancelled) return;
    bool was_empty = queue_.empty();
    queue_.push_back(std::move(record));
    queued_bytes_ += bytes;
    lock.unlock();
    if (was_empty) changed_.notify_all();
}

void RecordStream::WaitForRecords() {
    bool interrupted = false;
    {
        py::gil_scoped_release release;
        std::unique_lock lock(mutex_);
        while (queue_.empty() && !produced_all_) {
            if (changed_.wait_for(lock, kSignalCheckInterval) == std::cv_status::no_timeout) continue;
            lock.unlock();
            {
                py::gil_scoped_acquire gil;
                interrupted = PyErr_CheckSignals() != 0;
                if (interrupted) control_.StopWithPythonError();
            }
            lock.lock();
            if (interrupted) break;
        }
    }
    if (interrupted) Finish();
}

bool RecordStream::Next(RecordData& record) {
    if (taken_.empty() && !finished_) {
        if (!started_) Start();
        WaitForRecords();
        if (!finished_) {
            {
                std::lock_guard lock(mutex_);
                taken_.swap(queue_);
                queued_bytes_ = 0;
            }
            changed_.notify_all();
            if (taken_.empty()) Finish();
        }
    }
    if (taken_.empty()) return false;
    record = std::move(taken_.front());
    taken_.pop_front();
    return true;
}

// Ends the stream and raises what stopped the run, if anything did: the
// run has ended, or is told to by a Python exception already kept.
void RecordStream::Finish() {
    {
        std::lock_guard lock(mutex_);  // so that a waiting producer sees the change
        if (control_.python_error) control_.cancelled = true;
    }
    changed_.notify_all();
    Join();
    taken_.clear();
    source_->RaiseFailure(result_, control_);
}

}  // namespace zelreport::python
