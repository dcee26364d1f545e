#include "qzr/compiler/source_lines.h"

namespace qzr {

std::string_view SourceLines::Next() {
    if (lineNumber_ < 2'000'000'000) ++lineNumber_;
    const auto next = text_.Next();
    if (!next) {
        atEnd_ = true;
        return {};
    }
    if (!text_.LastHadFeed()) atEnd_ = true;
    std::string_view line = *next;
    if (const auto replaced = replaced_.find(lineNumber_); replaced != replaced_.end()) {
        line = replaced->second;
    }
    if (const auto zero = line.find('\0'); zero != std::string_view::npos) {
        line = line.substr(0, zero);
    }
    return line;
}

}  // namespace qzr
