#include "qzr/compiler/source_lines.h"

namespace qzr {

namespace {

constexpr char kEndOfInput = 26;

}  // namespace

SourceLines::SourceLines(std::span<const std::uint8_t> source)
    : text_(reinterpret_cast<const char*>(source.data()), source.size()) {
    if (const auto end = text_.find(kEndOfInput); end != std::string_view::npos) {
        text_ = text_.substr(0, end);
    }
}

std::string_view SourceLines::Next() {
    if (lineNumber_ < 2'000'000'000) ++lineNumber_;
    if (position_ >= text_.size()) {
        atEnd_ = true;
        return {};
    }
    std::string_view line;
    const auto feed = text_.find('\n', position_);
    if (feed == std::string_view::npos) {
        line = text_.substr(position_);
        position_ = text_.size();
        atEnd_ = true;
    } else {
        line = text_.substr(position_, feed - position_);
        position_ = feed + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    }
    if (const auto zero = line.find('\0'); zero != std::string_view::npos) {
        line = line.substr(0, zero);
    }
    return line;
}

}  // namespace qzr
