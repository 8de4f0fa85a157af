// SPDX-License-Identifier: MIT
// Reads an XML document's meaning with expat, streaming: records are
// handed over one by one as their closing tags are parsed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xml/read/record.h"

namespace zelreport::xml {

struct ReaderOptions {
    bool track_layout = false;       // note layout problems and every position (zelcheck)
    bool refuse_long_texts = false;  // stop at a text over zelreport's limit (zelfmt)
};

// Why a document cannot be read or has no meaning. `at.line` is 0 when
// no place in the document is to blame.
struct Trouble {
    Position at;
    std::string message;
    bool unwritable = false;  // a meaning zelreport cannot read as written
};

// "FILE:LINE:COL: SEVERITYMESSAGE" as compilers word it, or
// "PROGRAM: FILE: MESSAGE" without a place: how both programs word trouble.
std::string TroubleMessage(std::string_view program, std::string_view file, const Trouble& trouble,
                           std::string_view severity = "error: ");

class RecordSink {
public:
    // A record, complete at its closing tag. The sink may take it (or parts
    // of it); the reader sets up what it leaves for the next record.
    virtual void OnRecord(std::unique_ptr<XmlRecord>& record) = 0;
    // Room for the next record, when the sink took the last one.
    virtual std::unique_ptr<XmlRecord> NewRecord() { return std::make_unique<XmlRecord>(); }
    // The root's closing tag.
    virtual void OnRootEnd(const Position&) {}
    // An element the meaning does not take, between records.
    virtual void OnLoose(Unused&) {}

protected:
    ~RecordSink() = default;
};

class DocumentReader {
public:
    DocumentReader(RecordSink& sink, ReaderOptions options);
    ~DocumentReader();
    DocumentReader(const DocumentReader&) = delete;
    DocumentReader& operator=(const DocumentReader&) = delete;

    // Parses the next `size` bytes; `last` at end of input. False on
    // trouble: not well-formed, without meaning, or beyond a limit.
    bool Parse(const char* data, std::size_t size, bool last);
    const Trouble& trouble() const;

    // Hands on the blocks of the open record's values text that can no
    // longer grow (see ValuesText::TakeClosedBlocks), and returns the
    // offset of that text's opening tag's ">", which names it; 0 when no
    // record is open or nothing was taken.
    std::uint64_t TakeClosedValuesBlocks(std::vector<std::string>& blocks);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zelreport::xml
