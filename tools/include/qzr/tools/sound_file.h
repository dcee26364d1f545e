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

// 16-bit stereo frames into a WAV or FLAC file through libsndfile, or into memory (for standard
// output, which libsndfile cannot seek back in to finish a WAV header).
class SoundFileWriter {
public:
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    // nullptr with the reason in `error` when the file cannot be created.
    static std::unique_ptr<SoundFileWriter> ToFile(const std::filesystem::path& path,
                                                   SoundFormat format, int sampleRate,
                                                   std::string& error);
    static std::unique_ptr<SoundFileWriter> ToMemory(SoundFormat format, int sampleRate,
                                                     std::string& error);
    // Into an open file that stays the caller's (a FileReplacement's temporary); Close finishes
    // the header but leaves the descriptor open.
    static std::unique_ptr<SoundFileWriter> ToDescriptor(int descriptor, SoundFormat format,
                                                         int sampleRate, std::string& error);

    // Interleaved left, right; false on a write error.
    bool Write(std::span<const std::int16_t> interleaved);
    // Finishes the header; false (with the reason) when that fails.
    bool Close(std::string& error);
    // The finished file's bytes, after Close, for a writer made by ToMemory.
    const std::vector<std::uint8_t>& MemoryBytes() const;

    struct Memory;  // the virtual file behind ToMemory
    struct Handle;  // owns the libsndfile handle

private:
    SoundFileWriter();
    std::unique_ptr<Memory> memory_;
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
