// SPDX-License-Identifier: MIT
// The XML reading of zelcheck and zelfmt, a block at a time: ahead on a
// thread of its own, so that the parse runs on one core while the rest of
// the program works on the other, or in line, block by block, when the
// host refuses a thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "reader/threads.h"
#include "xml/common/io.h"
#include "xml/common/limits.h"
#include "xml/common/queue.h"
#include "xml/read/document_reader.h"
#include "xml/read/record.h"

namespace zelreport::xml {

// One block of input parsed, with the records whose closing tag the XML
// reading met in it. At the end of the document, `last`, with the trouble
// that ended it, if any.
struct ParsedBlock {
    std::unique_ptr<char[]> bytes;  // the block itself, when kept
    std::size_t size = 0;
    std::uint64_t offset = 0;
    std::vector<std::unique_ptr<XmlRecord>> records;
    // The closed blocks of the values text of the record still open, named
    // by its opening tag's ">" (0: none), when handed on early.
    std::vector<std::string> values_blocks;
    std::uint64_t values_tag_end = 0;
    // The elements between records that the meaning does not take.
    std::vector<Unused> loose;
    std::optional<std::uint64_t> root_end;  // offset of </orv-standard-file>
    bool last = false;
    std::optional<Trouble> trouble;
};

struct ParseOptions {
    ReaderOptions reader;
    bool keep_bytes = false;         // hand each block's bytes on (zelcheck)
    bool hand_values_early = false;  // hand long values texts on in part (zelfmt)
    std::size_t blocks_ahead = 2;    // blocks parsed ahead of their use
};

using BlockPool = Pool<char[]>;
using RecordPool = Pool<XmlRecord>;

inline std::unique_ptr<char[]> NewBlock() {
    return std::make_unique_for_overwrite<char[]>(kBlockSize);
}
inline std::unique_ptr<XmlRecord> NewXmlRecord() {
    return std::make_unique<XmlRecord>();
}

class ParseAhead {
public:
    // Parses the document `read` gives; the records and blocks come from
    // the pools, to which the user gives them back.
    ParseAhead(ReadFn read, const ParseOptions& options, RecordPool& records, BlockPool& blocks);
    ~ParseAhead();
    ParseAhead(const ParseAhead&) = delete;
    ParseAhead& operator=(const ParseAhead&) = delete;

    // The next block parsed; none after the last.
    std::optional<ParsedBlock> Next();

private:
    class Parser;
    std::unique_ptr<Parser> parser_;
    BoundedQueue<ParsedBlock> queue_;
    StartedThread thread_;
    CloseOnExit<ParsedBlock> close_;  // destroyed first: the thread then ends and is joined
};

}  // namespace zelreport::xml
