#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "qzr/format/song_target.h"

namespace qzr::tools {

// Something the compiler would silently ignore or get wrong. Lines and columns from 1; column 1
// when the finding is about the whole line.
struct Diagnostic {
    int line = 0;
    int column = 1;
    std::string message;
};

// Everything worth a warning in a source held in memory (at most 10,000 findings, then one that
// counts the rest; unknown lines quoted up to 40 bytes). Voice paths resolve against
// `baseFolder` as the compiler resolves them; `sourcePath` only names a readable file that may
// stand in for a missing voice, so the body is still checked after one.
std::vector<Diagnostic> CheckSource(std::span<const std::uint8_t> source, const SongTarget& target,
                                    const std::filesystem::path& baseFolder,
                                    const std::filesystem::path& sourcePath);

// CheckSource for a file, read line by line in two passes: nullopt with the reason for a file
// that cannot be read or is not a regular file (a FIFO cannot be read twice).
std::optional<std::vector<Diagnostic>> CheckFile(const std::filesystem::path& source,
                                                 const SongTarget& target,
                                                 const std::filesystem::path& baseFolder,
                                                 std::string& error);

// "SOURCE:LINE:COLUMN: warning: message"
std::string FormatDiagnostic(std::string_view sourceName, const Diagnostic& diagnostic);

// `qzr check`: the findings on `err`, nothing on standard output. 0 clean, 1 findings, 2 when
// the source cannot be read.
int RunCheck(const std::filesystem::path& source, const SongTarget& target, std::FILE* err);

// A note for a body line that spells no keyword: a likely meaning ("did you mean 'c4'?"), or
// empty when none is near.
std::string SuggestKeyword(std::string_view line, const SongTarget& target);

}  // namespace qzr::tools
