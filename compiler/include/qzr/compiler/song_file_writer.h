#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace qzr {

// Puts a song file in place only when the whole run succeeds. Open creates a temporary file in
// the target's folder; Commit fills it and renames it over the target. Until then an existing
// target is untouched, and a writer destroyed without a commit removes its temporary file, so a
// failed run leaves no song file behind.
class SongFileWriter {
public:
    explicit SongFileWriter(std::filesystem::path target);
    ~SongFileWriter();
    SongFileWriter(const SongFileWriter&) = delete;
    SongFileWriter& operator=(const SongFileWriter&) = delete;

    // False when the target could not be written: an existing target we may not write (or a
    // directory), or a folder where no file can be created.
    bool Open();

    // Writes the bytes and replaces the target. False (and the target unchanged) on failure.
    bool Commit(std::span<const std::uint8_t> bytes);

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    bool committed_ = false;
};

}  // namespace qzr
