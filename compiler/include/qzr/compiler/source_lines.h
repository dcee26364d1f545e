#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>

#include "qzr/common/file_reading.h"
#include "qzr/common/text_lines.h"

namespace qzr {

// Splits a source into lines the way a text-mode read on Windows sees it, on every platform
// (TextLines): a carriage return directly before a line feed is dropped and a byte 26 ends the
// input. A line's text ends at its first zero byte, as a text does. Read from a file, a line
// longer than TextLines::kMaxLineBytes (64 KiB) keeps its first 64 KiB: far more than any line
// means, so a source file is compiled in the memory of one line.
class SourceLines {
public:
    explicit SourceLines(std::span<const std::uint8_t> source) : text_(source) {}
    // Reads the file (which must outlive this) as it goes.
    explicit SourceLines(InputFile& file) : text_(file) {}

    // The next line without its line feed; the empty text once the input is used up. Over a
    // source in memory it is a view of the source; over a file (or a replaced line) it is valid
    // until the next call.
    std::string_view Next();

    // True once a read has reached the end of the input. A source ending in a line feed is
    // therefore followed by one more, empty, line, as a loop that tests for the end before each
    // read sees it.
    bool AtEnd() const { return atEnd_; }

    // One-based number of the line that Next returned last.
    int LineNumber() const { return lineNumber_; }

    // Whether that line was longer than TextLines::kMaxLineBytes (and, from a file, cut).
    bool LastCut() const { return text_.LastCut(); }

    // A read error ended the input early.
    bool Failed() const { return text_.Failed(); }

    // Line `number` (one-based) reads as `text` instead, for tools that check a source as it
    // would compile with one line changed.
    void ReplaceLine(int number, std::string text) { replaced_[number] = std::move(text); }

private:
    TextLines text_;
    std::map<int, std::string> replaced_;
    bool atEnd_ = false;
    int lineNumber_ = 0;
};

}  // namespace qzr
