#include "qmml_report.h"

#include <algorithm>

#include "qzr/compiler/qmml_limits.h"

namespace qzr::qmml {

void Report::Add(Position at, Severity severity, std::string message) {
    if (!seen_.emplace(at.line, at.column, message).second) return;
    (severity == Severity::Error ? errors_ : warnings_) += 1;
    if (kept_.size() >= kMaxDiagnostics) {
        ++dropped_;
        // Keep the set small too: once the list is full, nothing more is remembered.
        seen_.erase({at.line, at.column, message});
        return;
    }
    kept_.push_back({at.line, at.column, severity, std::move(message)});
}

std::vector<Diagnostic> Report::Sorted() const {
    std::vector<Diagnostic> sorted = kept_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Diagnostic& x, const Diagnostic& y) {
        return std::tie(x.line, x.column) < std::tie(y.line, y.column);
    });
    return sorted;
}

std::string Grouped(std::int64_t value) {
    const std::string digits = std::to_string(value < 0 ? -value : value);
    std::string text = value < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

}  // namespace qzr::qmml
