#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "qzr/common/file_replacement.h"
#include "qzr/common/wav_writer.h"
#include "qzr/tools/sound_file.h"

namespace qzr::tools {

// One rendered sound file as it is written: WAV through the project's one WAV writer, FLAC
// through libsndfile, both into a replacement of the target that is put in place only by Commit.
class SoundOutput {
public:
    explicit SoundOutput(std::filesystem::path target) : replacement_(std::move(target)) {}

    // False with the reason when the temporary or the writer cannot be set up.
    bool Open(SoundFormat format, std::uint64_t frames, int sampleRate, std::string& error);
    // Interleaved left, right frames; when false, WriteError says why.
    bool Write(std::span<const std::int16_t> interleaved);
    std::string WriteError() const;
    // Finishes the file (its header or trailer); false with the reason (a full disk says so).
    bool Finish(std::string& error);
    // Puts the finished file in place; false with the reason.
    bool Commit(std::string& error) { return replacement_.Commit(error); }
    // Finishes nothing: the temporary goes, the target stays as it was.
    void Discard() noexcept;

    const std::filesystem::path& Target() const { return replacement_.Target(); }

private:
    FileReplacement replacement_;
    std::optional<WavStreamWriter> wav_;
    std::unique_ptr<SoundFileWriter> flac_;
    std::string writeError_;  // what the replacement said when a write failed
};

}  // namespace qzr::tools
