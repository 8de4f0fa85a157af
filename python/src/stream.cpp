// SPDX-License-Identifier: MIT
#include "stream.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <utility>

namespace zelreport::python {

namespace {

// The queue holds at most this many records and, beyond its first batch,
// at most this many bytes of them.
constexpr std::size_t kMaxQueuedRecords = 256;
constexpr std::size_t kMaxQueuedBytes = std::size_t{32} << 20;
// The reading thread hands records over in batches of this many records or
// bytes, whichever comes first, and whatever it has before it waits for
// input: one lock and one wake-up a batch instead of a record.
constexpr std::size_t kBatchRecords = 64;
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;
// How often a waiting consumer lets Python handle signals.
constexpr std::chrono::milliseconds kSignalCheckInterval{50};

}  // namespace

struct RecordStream::Run {
    Source source;
    RunControl control;
    bool bounded = true;  // false when the run is on the consumer's thread
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<RecordData> queue;  // guarded by mutex
    std::size_t queued_bytes = 0;   // guarded by mutex
    std::vector<RecordData> batch;  // the reading thread's, not yet in the queue
    std::size_t batch_bytes = 0;
    bool produced_all = false;  // guarded by mutex
    Result result;              // set before produced_all
    // A block of a file object asked for by the reading thread: only the
    // caller's thread reads a file object, where Ctrl-C interrupts it.
    std::atomic<bool> read_asked{false};
    char* read_buffer = nullptr;  // guarded by mutex, as are the two below
    std::size_t read_capacity = 0;
    long read_count = 0;
    bool read_in_progress = false;  // the caller's thread is filling read_buffer

    explicit Run(py::handle document) : source(document) {}

    void Produce() {
        control.before_read = [this] { Publish(); };
        ReadBlock read_file;
        if (bounded)
            read_file = [this](char* buffer, std::size_t capacity) { return AskRead(buffer, capacity); };
        Result ended = source.Run(
            [this](const RecordView& view) {
                if (control.KeepGoing()) Add(CopyRecord(view));
            },
            nullptr, control, read_file);
        Publish();
        {
            std::lock_guard lock(mutex);
            result = ended;
            produced_all = true;
        }
        changed.notify_all();
    }

    void Add(RecordData&& record) {
        batch_bytes += record.Bytes();
        batch.push_back(std::move(record));
        if (batch.size() >= kBatchRecords || batch_bytes >= kBatchBytes) Publish();
    }

    // Moves the batch into the queue once there is room for it.
    void Publish() {
        if (batch.empty()) return;
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] {
            return control.cancelled || !bounded || queue.empty() ||
                   (queue.size() + batch.size() <= kMaxQueuedRecords &&
                    queued_bytes + batch_bytes <= kMaxQueuedBytes);
        });
        if (!control.cancelled) {
            if (queue.empty()) {
                queue.swap(batch);
            } else {
                for (RecordData& record : batch) queue.push_back(std::move(record));
            }
            queued_bytes += batch_bytes;
        }
        lock.unlock();
        changed.notify_all();
        batch.clear();
        batch_bytes = 0;
    }

    // On the reading thread: waits until the caller's thread has read the
    // block.
    long AskRead(char* buffer, std::size_t capacity) {
        std::unique_lock lock(mutex);
        read_buffer = buffer;
        read_capacity = capacity;
        read_asked = true;
        changed.notify_all();
        // Even cancelled, the buffer must outlive a read in progress into it.
        changed.wait(lock, [&] { return !read_asked || (control.cancelled && !read_in_progress); });
        if (read_asked) {
            read_asked = false;
            errno = ECANCELED;
            return -1;
        }
        if (read_count < 0) errno = ECANCELED;
        return read_count;
    }

    // On the caller's thread (GIL held): reads the block asked for, if any.
    void ServeRead() {
        if (!read_asked) return;
        std::unique_lock lock(mutex);
        // Another Python thread may have served it, or be serving it.
        if (!read_asked || read_in_progress) return;
        read_in_progress = true;
        char* buffer = read_buffer;
        std::size_t capacity = read_capacity;
        lock.unlock();
        long count = source.FillFromFile(buffer, capacity, control);
        lock.lock();
        read_count = count;
        read_asked = false;
        read_in_progress = false;
        lock.unlock();
        changed.notify_all();
    }

    // Tells the run to stop, and a producer waiting for room to look.
    void Cancel() {
        {
            std::lock_guard lock(mutex);
            control.cancelled = true;
            queue.clear();
        }
        changed.notify_all();
    }
};

// The stream and its reading thread each hold the run; the last to let go
// frees it with the GIL, which the source's Python objects need.
RecordStream::RecordStream(py::handle source)
    : run_(new Run(source), [](Run* run) {
          py::gil_scoped_acquire gil;
          delete run;
      }) {}

RecordStream::~RecordStream() {
    Close();
}

void RecordStream::Close() {
    started_ = finished_ = true;
    taken_.clear();
    taken_next_ = 0;
    run_->Cancel();
    if (!thread_.started()) return;
    py::gil_scoped_release release;
    thread_.thread.join();
}

void RecordStream::Start() {
    started_ = true;
    thread_ = TryStartThread([run = run_] {
        // Signals go to the interpreter's thread, where Python handles them.
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, nullptr);
        run->Produce();
    });
    if (thread_.started()) return;
    // No thread: the whole document now, on this thread, with signals
    // handled between its blocks and records.
    run_->bounded = false;
    run_->control.check_signals = true;
    {
        py::gil_scoped_release release;
        run_->Produce();
    }
    if (run_->control.interrupted) Finish();
}

void RecordStream::WaitForRecords() {
    Run& run = *run_;
    for (;;) {
        run.ServeRead();
        if (run.control.interrupted) return Finish();
        bool ready;
        {
            py::gil_scoped_release release;
            std::unique_lock lock(run.mutex);
            ready = run.changed.wait_for(lock, kSignalCheckInterval, [&] {
                return !run.queue.empty() || run.produced_all || run.read_asked;
            });
            if (!run.queue.empty() || run.produced_all) return;
        }
        if (!ready && PyErr_CheckSignals() != 0) {
            run.control.StopWithPythonError();
            return Finish();
        }
    }
}

bool RecordStream::Next(RecordData& record) {
    // A loop, since another Python thread may take the records while this
    // one waits without the GIL.
    while (taken_next_ == taken_.size() && !finished_) {
        if (!started_) Start();
        WaitForRecords();
        if (finished_ || taken_next_ != taken_.size()) continue;
        bool ended;
        {
            std::lock_guard lock(run_->mutex);
            taken_.clear();
            taken_next_ = 0;
            taken_.swap(run_->queue);
            run_->queued_bytes = 0;
            ended = taken_.empty() && run_->produced_all;
        }
        run_->changed.notify_all();
        if (ended) Finish();
    }
    if (taken_next_ == taken_.size()) return false;
    // Keeps the reading thread going while the caller takes records.
    run_->ServeRead();
    if (run_->control.interrupted) Finish();
    record = std::move(taken_[taken_next_++]);
    return true;
}

// Ends the stream and raises what stopped the run, if anything did: the
// run has ended, or a Python exception already kept (Ctrl-C) stops it.
void RecordStream::Finish() {
    Close();
    Run& run = *run_;
    std::lock_guard lock(run.mutex);
    run.source.RaiseFailure(run.result, run.control);
}

}  // namespace zelreport::python
