#pragma once

#include <filesystem>
#include <string>

#include "qzr/format/song_target.h"

namespace qzr {

// What a compiler program prints, where, and its exit status. Only main prints.
struct ProgramOutcome {
    int exitStatus = 0;
    std::string message;  // empty on success
    bool toStandardError = false;
};

// The whole run of opmcomp or opn2comp: the command tail is the source path (leading blanks
// dropped, everything else kept), the song goes to that path followed by ".qzr", and voice paths
// are relative to workingFolder. The song file is replaced only if the run succeeds.
ProgramOutcome RunCompilerProgram(const SongTarget& target, const char* commandTail,
                                  const std::filesystem::path& workingFolder);

}  // namespace qzr
