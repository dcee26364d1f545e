#include "qzr/common/text_lines.h"

#include <algorithm>

namespace qzr {
namespace {

constexpr std::uint8_t kEndOfInput = 26;
constexpr std::size_t kChunkBytes = 1 << 16;

}  // namespace

TextLines::TextLines(std::span<const std::uint8_t> text) : pending_(text), ended_(true) {
    // The text ends at its first byte 26.
    const auto end = std::find(text.begin(), text.end(), kEndOfInput);
    pending_ = text.first(static_cast<std::size_t>(end - text.begin()));
}

TextLines::TextLines(InputFile& file) : file_(&file) {}

bool TextLines::Refill() {
    if (ended_ || file_ == nullptr) return false;
    buffer_.resize(kChunkBytes);
    const auto got = file_->Read(buffer_);
    if (!got || *got == 0) {
        failed_ = !got;
        ended_ = true;
        return false;
    }
    pending_ = std::span(buffer_).first(*got);
    const auto end = std::find(pending_.begin(), pending_.end(), kEndOfInput);
    if (end != pending_.end()) {
        pending_ = pending_.first(static_cast<std::size_t>(end - pending_.begin()));
        ended_ = true;
    }
    return true;
}

std::optional<std::string_view> TextLines::Next() {
    line_.clear();
    lastCut_ = false;
    lastHadFeed_ = false;
    if (file_ == nullptr) {
        // From memory the line is a view of the text itself, valid as long as the text is, and
        // whole: it is in memory already.
        if (pending_.empty()) return std::nullopt;
        const auto feed = std::find(pending_.begin(), pending_.end(), std::uint8_t{'\n'});
        std::string_view line(reinterpret_cast<const char*>(pending_.data()),
                              static_cast<std::size_t>(feed - pending_.begin()));
        lastHadFeed_ = feed != pending_.end();
        pending_ = pending_.subspan(std::min(pending_.size(), line.size() + 1));
        if (lastHadFeed_ && !line.empty() && line.back() == '\r') line.remove_suffix(1);
        lastCut_ = line.size() > kMaxLineBytes;
        return line;
    }
    bool any = false;
    std::size_t total = 0;  // the line's length, however much of it is kept
    std::uint8_t last = 0;  // its last byte, a carriage return perhaps
    while (true) {
        if (pending_.empty() && !Refill()) break;
        if (pending_.empty()) continue;
        any = true;
        const auto feed = std::find(pending_.begin(), pending_.end(), std::uint8_t{'\n'});
        const auto length = static_cast<std::size_t>(feed - pending_.begin());
        // One byte more than a line may hold, so a carriage return there can still be dropped.
        const std::size_t room = kMaxLineBytes + 1 - std::min(line_.size(), kMaxLineBytes + 1);
        line_.append(reinterpret_cast<const char*>(pending_.data()), std::min(length, room));
        total += length;
        if (length > 0) last = pending_[length - 1];
        if (feed == pending_.end()) {
            pending_ = {};
            continue;
        }
        pending_ = pending_.subspan(length + 1);
        lastHadFeed_ = true;
        if (last == '\r') {
            if (line_.size() == total) line_.pop_back();
            --total;
        }
        break;
    }
    if (!any) return std::nullopt;
    lastCut_ = total > kMaxLineBytes;
    if (line_.size() > kMaxLineBytes) line_.resize(kMaxLineBytes);
    return std::string_view(line_);
}

}  // namespace qzr
