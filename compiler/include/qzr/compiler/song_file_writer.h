#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "qzr/common/file_replacement.h"

namespace qzr {

// Puts a song file in place only when the whole run succeeds, through the one FileReplacement:
// Open creates the temporary beside the target; Commit fills it and renames it over the target.
// Until then an existing target is untouched, and a writer destroyed without a commit (or a run
// interrupted by a signal) removes its temporary file, so a failed run leaves no song file
// behind.
class SongFileWriter {
public:
    explicit SongFileWriter(std::filesystem::path target) : file_(std::move(target)) {}

    // False when the target could not be written: an existing target we may not write (or a
    // directory), or a folder where no file can be created.
    bool Open();

    // Writes the bytes and replaces the target. False (and the target unchanged) on failure.
    bool Commit(std::span<const std::uint8_t> bytes);

private:
    FileReplacement file_;
};

}  // namespace qzr
