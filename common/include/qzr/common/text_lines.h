#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "qzr/common/file_reading.h"

namespace qzr {

// Lines of a text, read the way a text-mode read on Windows sees them, on every platform: a
// carriage return directly before a line feed is dropped and a byte 26 ends the input. The text
// comes from memory or from a file read as it goes. From a file only one line is ever held: a
// line longer than kMaxLineBytes keeps its first kMaxLineBytes bytes and the rest of it is
// skipped. From memory a line is a view of the text, whole. Either way LastCut says whether a
// line was longer than kMaxLineBytes.
class TextLines {
public:
    static constexpr std::size_t kMaxLineBytes = 65'536;

    explicit TextLines(std::span<const std::uint8_t> text);
    // Reads `file` (which must outlive this) from where it stands.
    explicit TextLines(InputFile& file);

    // The next line without its line feed; nullopt once the text is used up (or a read failed:
    // see Failed). From memory it is a view of the text (valid as long as the text is), from a
    // file it is valid until the next call.
    std::optional<std::string_view> Next();

    // About the line Next returned last: whether it was longer than kMaxLineBytes (and, from a
    // file, cut), and whether a line feed ended it.
    bool LastCut() const { return lastCut_; }
    bool LastHadFeed() const { return lastHadFeed_; }

    // A read error ended the text early.
    bool Failed() const { return failed_; }

private:
    bool Refill();

    InputFile* file_ = nullptr;
    std::vector<std::uint8_t> buffer_;
    std::span<const std::uint8_t> pending_;  // bytes read but not yet split
    bool ended_ = false;                     // no more bytes will come
    bool failed_ = false;
    std::string line_;
    bool lastCut_ = false;
    bool lastHadFeed_ = false;
};

}  // namespace qzr
