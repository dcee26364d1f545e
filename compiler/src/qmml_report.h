#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "qmml_program.h"
#include "qzr/compiler/qmml_diagnostic.h"

namespace qzr::qmml {

// Collects the diagnostics of one compile: each distinct one once, the first kMaxDiagnostics
// with their text and the rest counted.
class Report {
public:
    void Error(Position at, std::string message) { Add(at, Severity::Error, std::move(message)); }
    void Warning(Position at, std::string message) {
        Add(at, Severity::Warning, std::move(message));
    }
    void Add(Position at, Severity severity, std::string message);

    int Errors() const { return errors_; }
    int Warnings() const { return warnings_; }
    // Kept diagnostics in source order (line, then column, then the order they came in).
    std::vector<Diagnostic> Sorted() const;
    // How many were counted but not kept.
    int Dropped() const { return dropped_; }

private:
    std::vector<Diagnostic> kept_;
    std::set<std::tuple<int, int, std::string>> seen_;
    int errors_ = 0;
    int warnings_ = 0;
    int dropped_ = 0;
};

// "49,151"
std::string Grouped(std::int64_t value);

}  // namespace qzr::qmml
