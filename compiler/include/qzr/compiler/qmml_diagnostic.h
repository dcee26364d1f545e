#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qzr::qmml {

enum class Severity : std::uint8_t { Warning, Error };

// One finding in a qmml source. Lines and columns count from 1 (columns in bytes); line 0 is
// about the whole file.
struct Diagnostic {
    int line = 0;
    int column = 0;
    Severity severity = Severity::Error;
    std::string message;

    friend bool operator==(const Diagnostic&, const Diagnostic&) = default;
};

// "NAME:LINE:COLUMN: error: message" ("NAME: error: message" for line 0).
std::string FormatDiagnostic(std::string_view sourceName, const Diagnostic& diagnostic);

}  // namespace qzr::qmml
