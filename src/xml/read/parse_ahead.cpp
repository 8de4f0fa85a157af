// SPDX-License-Identifier: MIT
#include "xml/read/parse_ahead.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "xml/common/limits.h"

namespace zelreport::xml {

// Reads and parses one block at a time, on whichever thread asks.
class ParseAhead::Parser final : public RecordSink {
public:
    Parser(ReadFn read, const ParseOptions& options, RecordPool& records, BlockPool& blocks)
        : read_(std::move(read)),
          options_(options),
          records_(records),
          blocks_(blocks),
          reader_(*this, options.reader) {}

    // Parses blocks into `queue` until the last, or until its consumer
    // closes it.
    void Run(BoundedQueue<ParsedBlock>& queue) {
        while (std::optional<ParsedBlock> parsed = Next())
            if (!queue.Push(std::move(*parsed)) || done_) return;
    }

    std::optional<ParsedBlock> Next() {
        if (done_) return std::nullopt;
        try {
            Parse();
        } catch (const std::bad_alloc&) {
            parsed_ = ParsedBlock{};
            parsed_.last = true;
            parsed_.trouble = Trouble{{}, "out of memory"};
        }
        done_ = parsed_.last;
        return std::exchange(parsed_, ParsedBlock{});
    }

    void OnRecord(std::unique_ptr<XmlRecord>& record) override {
        parsed_.records.push_back(std::move(record));
    }
    std::unique_ptr<XmlRecord> NewRecord() override { return records_.Take(); }
    void OnRootEnd(const Position& at) override { parsed_.root_end = at.offset; }
    // As many as a block holds: a few bytes each at the least.
    void OnLoose(Unused& unused) override { parsed_.loose.push_back(std::move(unused)); }

private:
    void Parse() {
        parsed_ = ParsedBlock{};
        parsed_.bytes = blocks_.Take();
        parsed_.offset = offset_;
        long n = read_(parsed_.bytes.get(), kBlockSize);
        if (n < 0) {
            parsed_.trouble = Trouble{{}, std::string("read error: ") + std::strerror(errno)};
        } else {
            parsed_.size = static_cast<std::size_t>(n);
            offset_ += parsed_.size;
            if (!reader_.Parse(parsed_.bytes.get(), parsed_.size, n == 0))
                parsed_.trouble = reader_.trouble();
            else if (options_.hand_values_early)
                parsed_.values_tag_end = reader_.TakeClosedValuesBlocks(parsed_.values_blocks);
        }
        parsed_.last = n <= 0 || parsed_.trouble;
        if (!options_.keep_bytes) blocks_.Give(std::move(parsed_.bytes));
    }

    ReadFn read_;
    const ParseOptions options_;
    RecordPool& records_;
    BlockPool& blocks_;
    DocumentReader reader_;
    ParsedBlock parsed_;
    std::uint64_t offset_ = 0;
    bool done_ = false;
};

ParseAhead::ParseAhead(ReadFn read, const ParseOptions& options, RecordPool& records, BlockPool& blocks)
    : parser_(std::make_unique<Parser>(std::move(read), options, records, blocks)),
      queue_(options.blocks_ahead),
      thread_(TryStartThread([this] { parser_->Run(queue_); })),
      close_(queue_) {}

ParseAhead::~ParseAhead() = default;

std::optional<ParsedBlock> ParseAhead::Next() {
    // Without a second thread the same parse runs here, between the uses
    // of its blocks: the same result, on one core.
    return thread_.started() ? queue_.Pop() : parser_->Next();
}

}  // namespace zelreport::xml
