// SPDX-License-Identifier: MIT
#include "xml/check.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "reader/threads.h"
#include "xml/compare.h"
#include "xml/diagnose.h"
#include "xml/document_reader.h"
#include "xml/findings.h"
#include "xml/limits.h"
#include "xml/queue.h"
#include "xml/report_places.h"

namespace zelreport::xml {

namespace {

// Blocks parsed ahead of zelreport's reading: they bound the memory, and
// let the XML parse on one core while zelreport reads on the other.
constexpr std::size_t kChunksAhead = 4;
// Reports at no record's end waiting for their record to be complete;
// more are only counted.
constexpr std::size_t kMaxWaitingExtras = 64;

// A block of input on its way from the XML reading to zelreport's, with
// the records whose closing tag the XML reading met in it.
struct Chunk {
    std::unique_ptr<char[]> bytes;
    std::size_t size = 0;
    std::uint64_t offset = 0;
    std::vector<std::unique_ptr<XmlRecord>> records;
    std::optional<std::uint64_t> root_end;  // offset of </orv-standard-file>
    bool last = false;
    std::optional<Trouble> trouble;
};

// Parses the document on a thread of its own.
class XmlSide final : public RecordSink {
public:
    XmlSide(ReadFn read, BoundedQueue<Chunk>& queue, Pool<char[]>& blocks, Pool<XmlRecord>& records)
        : read_(std::move(read)),
          queue_(queue),
          blocks_(blocks),
          records_(records),
          reader_(*this, {.track_layout = true}) {}

    // Parses blocks ahead on a thread of its own, into the queue.
    void Run() {
        while (std::optional<Chunk> chunk = Next())
            if (!queue_.Push(std::move(*chunk)) || done_) return;
    }

    // Reads and parses the next block: the chunk it makes, none after the
    // last. Called from the parser thread, or from the reading side when no
    // thread could be started.
    std::optional<Chunk> Next() {
        if (done_) return std::nullopt;
        try {
            Parse();
        } catch (const std::bad_alloc&) {
            chunk_ = Chunk{};
            chunk_.last = true;
            chunk_.trouble = Trouble{{}, "out of memory"};
        }
        done_ = chunk_.last;
        return std::exchange(chunk_, Chunk{});
    }

    void OnRecord(std::unique_ptr<XmlRecord>& record) override {
        chunk_.records.push_back(std::move(record));
    }
    std::unique_ptr<XmlRecord> NewRecord() override { return records_.Take(); }
    void OnRootEnd(const Position& at) override { chunk_.root_end = at.offset; }

private:
    void Parse() {
        chunk_ = Chunk{};
        chunk_.bytes = blocks_.Take();
        chunk_.offset = offset_;
        long n = read_(chunk_.bytes.get(), kBlockSize);
        if (n < 0) {
            chunk_.trouble = Trouble{{}, std::string("read error: ") + std::strerror(errno)};
        } else {
            chunk_.size = static_cast<std::size_t>(n);
            offset_ += chunk_.size;
            if (!reader_.Parse(chunk_.bytes.get(), chunk_.size, n == 0)) chunk_.trouble = reader_.trouble();
        }
        chunk_.last = n <= 0 || chunk_.trouble;
    }

    ReadFn read_;
    BoundedQueue<Chunk>& queue_;
    Pool<char[]>& blocks_;
    Pool<XmlRecord>& records_;
    DocumentReader reader_;
    Chunk chunk_;
    std::uint64_t offset_ = 0;
    bool done_ = false;
};

// Where the reading side takes its chunks from: the queue the parser
// thread fills, or the parse itself, block by block, on the same thread.
using ChunkSource = std::function<std::optional<Chunk>()>;

// Runs zelreport's reader over the chunks, in pieces cut where it can
// report a record, and settles each XML record in order: reported (and
// compared) or not.
class ReportSide {
public:
    ReportSide(const ChunkSource& next, Pool<char[]>& blocks, Pool<XmlRecord>& records, FindingWriter& out)
        : next_(next), blocks_(blocks), records_(records), out_(out) {}

    std::optional<Trouble> Run() {
        Handlers handlers;
        handlers.on_record = [this](const RecordView& view) { OnReport(view); };
        Result result = run_reader(
            [this](char* buffer, std::size_t capacity) { return Read(buffer, capacity); }, handlers);
        if (result.status == Status::out_of_memory) return Trouble{{}, "out of memory"};
        // zelreport stops at a root closing tag; whatever it left unread
        // still goes through the XML reading.
        stopped_ = !ended_ || handed_ < chunk_.size;
        if (stopped_) stopped_at_ = StopPosition();
        stop_offset_ = chunk_.offset + handed_;
        for (;;) {
            while (!pending_.empty()) Settle(nullptr);
            if (ended_ || !NextChunk()) break;
        }
        EmitExtras(kNoTrigger, nullptr);
        return trouble_;
    }

private:
    struct Extra {
        std::uint64_t offset;
        Position at;
        std::optional<std::string> nomvar;
    };

    long Read(char* buffer, std::size_t capacity) {
        for (;;) {
            SettleConsumed();
            if (handed_ < chunk_.size) return Hand(buffer, capacity);
            if (ended_ || !NextChunk()) return 0;
        }
    }

    // Hands zelreport the input up to the next cut.
    long Hand(char* buffer, std::size_t capacity) {
        std::uint64_t at = chunk_.offset + handed_;
        while (next_cut_ < cuts_.size() && cuts_[next_cut_].offset <= at) ++next_cut_;
        std::uint64_t cut = next_cut_ < cuts_.size() ? cuts_[next_cut_].offset : chunk_.offset + chunk_.size;
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(cut - at, capacity));
        const char* bytes = chunk_.bytes.get() + handed_;
        std::memcpy(buffer, bytes, n);
        bool ends_at_trigger =
            at + n == cut && next_cut_ < cuts_.size() && cuts_[next_cut_].trigger != kNoTrigger;
        piece_ = {at, ends_at_trigger ? cuts_[next_cut_].trigger : kNoTrigger, line_, line_start_};
        CountLines(bytes, n, at);
        handed_ += n;
        return static_cast<long>(n);
    }

    void CountLines(const char* bytes, std::size_t n, std::uint64_t at) {
        line_ += static_cast<std::uint64_t>(std::count(bytes, bytes + n, '\n'));
        if (const void* last = memrchr(bytes, '\n', n))
            line_start_ = at + static_cast<std::uint64_t>(static_cast<const char*>(last) - bytes) + 1;
    }

    // The place of `offset` in the input handed so far of the current
    // chunk, counted from the piece being read (columns count bytes).
    Position PositionOf(std::uint64_t offset) const {
        const std::uint64_t first = chunk_.offset;
        offset = std::clamp(offset, first, first + handed_);
        const char* bytes = chunk_.bytes.get();
        auto at = [&](std::uint64_t o) { return bytes + (o - first); };
        std::uint64_t line = piece_.line;
        if (offset >= piece_.start)
            line += static_cast<std::uint64_t>(std::count(at(piece_.start), at(offset), '\n'));
        else
            line -= static_cast<std::uint64_t>(std::count(at(offset), at(piece_.start), '\n'));
        std::uint64_t line_start = line == piece_.line ? piece_.line_start : first;
        if (const void* last = memrchr(bytes, '\n', static_cast<std::size_t>(offset - first)))
            line_start = first + static_cast<std::uint64_t>(static_cast<const char*>(last) - bytes) + 1;
        return {offset, line, offset - line_start + 1};
    }

    // Where a closing name starting at `name` stands: at its "<" when it
    // has one.
    Position TagPosition(std::uint64_t name) const {
        if (name > chunk_.offset && chunk_.bytes[name - 1 - chunk_.offset] == '<') --name;
        return PositionOf(name);
    }

    // Where zelreport stopped: at the last root closing name it was handed.
    Position StopPosition() const {
        constexpr std::string_view kRootEndName = "/orv-standard-file";
        std::string_view handed(chunk_.bytes.get(), handed_);
        std::size_t name = handed.rfind(kRootEndName);
        return name == std::string_view::npos ? PositionOf(piece_.start) : TagPosition(chunk_.offset + name);
    }

    bool NextChunk() {
        std::optional<Chunk> next = next_();
        if (!next) {
            ended_ = true;
            return false;
        }
        blocks_.Give(std::move(chunk_.bytes));
        chunk_ = std::move(*next);
        handed_ = next_cut_ = 0;
        // A report at end of input comes after the last piece: place it here.
        piece_ = {chunk_.offset, kNoTrigger, line_, line_start_};
        ended_ = chunk_.last;
        if (chunk_.trouble) {
            // The records that ended before the trouble are compared: zelreport
            // reads up to its place.
            trouble_ = chunk_.trouble;
            std::uint64_t place = trouble_->at.line > 0 ? trouble_->at.offset : chunk_.offset;
            chunk_.size = static_cast<std::size_t>(
                std::clamp(place, chunk_.offset, chunk_.offset + chunk_.size) - chunk_.offset);
        }
        for (std::unique_ptr<XmlRecord>& record : chunk_.records) pending_.push_back(std::move(record));
        chunk_.records.clear();
        if (chunk_.root_end) root_end_ = chunk_.root_end;
        finder_.Find(chunk_.bytes.get(), chunk_.size, chunk_.offset, cuts_);
        return true;
    }

    // zelreport has read all it was handed: a record whose closing name it
    // has passed without a report is not reported.
    void SettleConsumed() {
        std::uint64_t consumed = chunk_.offset + handed_;
        while (!pending_.empty() && pending_.front()->end.offset + 1 + kTriggerSize <= consumed)
            Settle(nullptr);
    }

    void OnReport(const RecordView& view) {
        bool trigger = piece_.trigger != kNoTrigger;
        std::uint64_t place = trigger ? piece_.trigger : piece_.start;
        // The closing name of a record starts one byte into its tag.
        while (!pending_.empty() && pending_.front()->end.offset + 1 < place) Settle(nullptr);
        if (trigger && !pending_.empty() && pending_.front()->end.offset + 1 == place) return Settle(&view);
        if (extras_.size() < kMaxWaitingExtras) {
            Position at = trigger ? TagPosition(place) : PositionOf(place);
            extras_.push_back({place, at, view.nomvar ? std::optional(*view.nomvar) : std::nullopt});
        } else {
            ++extras_dropped_;
        }
    }

    // Settles the first pending record, with zelreport's report of it or
    // without one.
    void Settle(const RecordView* reported) {
        XmlRecord& record = *pending_.front();
        EmitExtras(record.start.offset, nullptr);
        out_.Begin(RecordGroup(record), true);
        EmitExtras(record.end.offset + 1, &record);
        if (reported) {
            CompareRecord(record, *reported, previous_reported_, out_);
        } else {
            // Records whose end zelreport never reached: it had stopped.
            bool stopped_before = stopped_ && record.end.offset + 1 + kTriggerSize > stop_offset_;
            ReportMissing(record,
                          BlameUnreported(record, stopped_before ? std::optional(stopped_at_) : std::nullopt),
                          out_);
        }
        out_.End();
        previous_reported_ = reported != nullptr;
        records_.Give(std::move(pending_.front()));
        pending_.pop_front();
    }

    // Reports zelreport made before `before` at no record's end: inside
    // `record` when given, else between records or after the root.
    void EmitExtras(std::uint64_t before, const XmlRecord* record) {
        std::size_t n = 0;
        while (n < extras_.size() && extras_[n].offset < before) ++n;
        bool last = before == kNoTrigger;
        if (n == 0 && (record || !last || extras_dropped_ == 0)) return;
        if (!record) out_.Begin("", false);
        for (std::size_t i = 0; i < n; ++i) {
            const Extra& extra = extras_[i];
            std::string what = "zelreport reports a record here that the XML does not have";
            what += extra.nomvar ? " (nomvar " + ShowText(&*extra.nomvar, extra.nomvar->size()) + ")"
                                 : " (no nomvar)";
            out_.Error(extra.at, what, BlameExtra(extra.offset, record, root_end_));
        }
        if (!record) {
            if (last) out_.Suppressed(std::exchange(extras_dropped_, 0));
            out_.End();
        }
        extras_.erase(extras_.begin(), extras_.begin() + static_cast<std::ptrdiff_t>(n));
    }

    struct Piece {
        std::uint64_t start = 0;
        std::uint64_t trigger = kNoTrigger;
        std::uint64_t line = 1, line_start = 0;  // at its start
    };

    const ChunkSource& next_;
    Pool<char[]>& blocks_;
    Pool<XmlRecord>& records_;
    FindingWriter& out_;
    std::deque<std::unique_ptr<XmlRecord>> pending_;
    Chunk chunk_;
    std::size_t handed_ = 0;
    std::vector<Cut> cuts_;
    std::size_t next_cut_ = 0;
    TriggerFinder finder_;
    Piece piece_;
    std::uint64_t line_ = 1, line_start_ = 0;
    std::vector<Extra> extras_;
    std::uint64_t extras_dropped_ = 0;
    std::optional<std::uint64_t> root_end_;
    bool ended_ = false;
    bool previous_reported_ = true;
    bool stopped_ = false;
    Position stopped_at_;
    std::uint64_t stop_offset_ = 0;
    std::optional<Trouble> trouble_;
};

}  // namespace

CheckResult CheckDocument(std::string_view name, ReadFn read, Output& findings, bool all) {
    BoundedQueue<Chunk> queue(kChunksAhead);
    Pool<char[]> blocks([] { return std::make_unique_for_overwrite<char[]>(kBlockSize); });
    Pool<XmlRecord> records([] { return std::make_unique<XmlRecord>(); });
    FindingWriter writer(std::string(name), findings, all);
    XmlSide xml(std::move(read), queue, blocks, records);
    std::optional<Trouble> trouble;
    {
        // Without a second thread the same parse runs between the readings
        // of zelreport's side: the same findings, on one core.
        StartedThread parser = TryStartThread([&xml] { xml.Run(); });
        CloseOnExit close(queue);  // destroyed before the parser is joined
        ChunkSource next;
        if (parser.started())
            next = [&queue] { return queue.Pop(); };
        else
            next = [&xml] { return xml.Next(); };
        try {
            trouble = ReportSide(next, blocks, records, writer).Run();
        } catch (const std::bad_alloc&) {
            trouble = Trouble{{}, "out of memory"};
        }
    }
    writer.Finish(!trouble);
    findings.Flush();
    CheckResult result;
    result.errors = writer.errors();
    if (trouble) {
        result.trouble = true;
        result.message = TroubleMessage("zelcheck", name, *trouble);
    }
    return result;
}

}  // namespace zelreport::xml
