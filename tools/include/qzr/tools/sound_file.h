#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qzr::tools {

enum class SoundFormat : std::uint8_t { WAV, FLAC };  // both 16-bit stereo

// By the file's extension (".wav" or ".flac", any case); nullopt for anything else.
std::optional<SoundFormat> SoundFormatFor(const std::filesystem::path& path);

// 16-bit stereo frames into a FLAC (or WAV) file through libsndfile, on a descriptor that stays
// the caller's (a FileReplacement's temporary). WAV renders go through the project's own WAV
// writer, which needs no seek back to finish its header.
class SoundFileWriter {
public:
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    // nullptr with the reason in `error` when libsndfile cannot start the file. Close finishes
    // the header but leaves the descriptor open.
    static std::unique_ptr<SoundFileWriter> ToDescriptor(int descriptor, SoundFormat format,
                                                         int sampleRate, std::string& error);

    // Interleaved left, right; false on a write error.
    bool Write(std::span<const std::int16_t> interleaved);
    // Finishes the header; false (with the reason) when that fails.
    bool Close(std::string& error);

    struct Handle;  // owns the libsndfile handle

private:
    SoundFileWriter();
    std::unique_ptr<Handle> handle_;
};

// Every frame of a WAV or FLAC file, interleaved, or nullopt (reason in `error`).
struct DecodedSound {
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;
};
std::optional<DecodedSound> ReadSoundFile(const std::filesystem::path& path, std::string& error);

}  // namespace qzr::tools
