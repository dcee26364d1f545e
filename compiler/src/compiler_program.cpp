#include "qzr/compiler/compiler_program.h"

#include <string>

#include "qzr/common/file_reading.h"
#include "qzr/common/text_helpers.h"
#include "qzr/compiler/compile_song.h"
#include "qzr/compiler/song_file_writer.h"

namespace qzr {

namespace {

ProgramOutcome CannotOpen(const std::string& path) {
    return {.exitStatus = 1, .message = "Can't open file " + path + "\n", .toStandardError = true};
}

}  // namespace

ProgramOutcome RunCompilerProgram(const SongTarget& target, const char* commandTail,
                                  const std::filesystem::path& workingFolder) {
    // Ring texts are copied at once: they live only until the ring comes round.
    const char* trimmed = TrimLeft(commandTail != nullptr ? commandTail : "", ' ');
    const std::string sourcePath = trimmed;
    if (sourcePath.empty()) return {.exitStatus = 0, .message = "No input file\n"};
    const std::string songPath = ConcatTexts({sourcePath.c_str(), ".qzr"});

    const auto source = ReadWholeFile(sourcePath);
    if (!source) return CannotOpen(sourcePath);

    SongFileWriter writer(songPath);
    if (!writer.Open()) return CannotOpen(songPath);

    const CompileResult result = CompileSource(*source, target, workingFolder);
    if (result.status != CompileStatus::Ok) return CannotOpen(result.failedPath);

    if (!writer.Commit(result.song)) return CannotOpen(songPath);
    return {};
}

}  // namespace qzr
