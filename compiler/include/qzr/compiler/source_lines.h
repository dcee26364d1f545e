#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qzr {

// Splits a source into lines the way a text-mode read on Windows sees it, on every platform:
// a carriage return directly before a line feed is dropped and a byte 26 ends the input. Lines
// are read in full, however long. A line's text ends at its first zero byte, as a text does.
class SourceLines {
public:
    explicit SourceLines(std::span<const std::uint8_t> source);

    // The next line without its line feed; the empty text once the input is used up.
    std::string_view Next();

    // True once a read has reached the end of the input. A source ending in a line feed is
    // therefore followed by one more, empty, line, as a loop that tests for the end before each
    // read sees it.
    bool AtEnd() const { return atEnd_; }

    // One-based number of the line that Next returned last.
    int LineNumber() const { return lineNumber_; }

private:
    std::string_view text_;
    std::size_t position_ = 0;
    bool atEnd_ = false;
    int lineNumber_ = 0;
};

}  // namespace qzr
