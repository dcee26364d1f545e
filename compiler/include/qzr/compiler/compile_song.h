#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "qzr/compiler/compiler_state.h"
#include "qzr/compiler/keyword_table.h"
#include "qzr/compiler/row_writer.h"
#include "qzr/compiler/source_lines.h"
#include "qzr/format/song_target.h"

namespace qzr {

enum class CompileStatus : std::uint8_t {
    Ok,
    CannotOpenSource,  // failedPath is the source path
    CannotOpenVoice,   // failedPath is the voice path as the source spells it
};

// What the header lines said, before the low 8 bits of each value reach the file.
struct SongHeader {
    std::string title;                    // at most kTitleSize bytes: longer titles are cut
    std::int32_t speedValue = 0;          // line 2
    std::int32_t rowCountValue = 0;       // line 3
    std::vector<std::string> voicePaths;  // one per voice read, as spelled in the source
};

// What one body line did, for tools that explain a source line by line.
struct BodyLineReport {
    int lineNumber;          // one-based line of the source
    std::string_view text;   // the line as it was matched
    const Keyword* keyword;  // the keyword it spells, or nullptr
    bool setsFreeLength;     // the "l%N" form set the default length
    std::int64_t rowBefore;  // the channel's row when the line started
    const CompilerState& stateAfter;
    std::span<const ByteWrite> writes;  // bytes the line wrote, in order
    int skippedWrites;                  // row writes dropped for falling outside the rows area
};

using BodyLineObserver = std::function<void(const BodyLineReport&)>;

struct CompileResult {
    CompileStatus status = CompileStatus::Ok;
    std::string failedPath;
    SongHeader header;
    // The song file's bytes. After a failure, what had been written up to it.
    std::vector<std::uint8_t> song;
};

// Compiles a source held in memory. Relative voice paths are resolved against baseFolder (the
// programs pass their working folder); voice files are only read. The observer, when given, is
// called after every body line.
CompileResult CompileSource(std::span<const std::uint8_t> source, const SongTarget& target,
                            const std::filesystem::path& baseFolder,
                            const BodyLineObserver& observer = {});

// Compiles the lines as they come: only one line is held at a time.
CompileResult CompileLines(SourceLines& lines, const SongTarget& target,
                           const std::filesystem::path& baseFolder,
                           const BodyLineObserver& observer = {});

// Reads the source file line by line as it compiles (a FIFO works: it is read once); a source
// that cannot be opened or read (a directory, say) gives CannotOpenSource.
CompileResult CompileFile(const std::filesystem::path& sourcePath, const SongTarget& target,
                          const std::filesystem::path& baseFolder,
                          const BodyLineObserver& observer = {});

}  // namespace qzr
