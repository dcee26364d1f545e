#include "qzr/tools/sound_file.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace qzr::tools {

struct SoundFileWriter::Handle {
    SNDFILE* file = nullptr;
    ~Handle() {
        if (file != nullptr) sf_close(file);
    }
};

namespace {

SF_INFO InfoFor(SoundFormat format, int sampleRate) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = (format == SoundFormat::WAV ? SF_FORMAT_WAV : SF_FORMAT_FLAC) | SF_FORMAT_PCM_16;
    return info;
}

}  // namespace

std::optional<SoundFormat> SoundFormatFor(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".wav") return SoundFormat::WAV;
    if (ext == ".flac") return SoundFormat::FLAC;
    return std::nullopt;
}

SoundFileWriter::SoundFileWriter() : handle_(std::make_unique<Handle>()) {}
SoundFileWriter::~SoundFileWriter() = default;

std::unique_ptr<SoundFileWriter> SoundFileWriter::ToDescriptor(int descriptor, SoundFormat format,
                                                               int sampleRate, std::string& error) {
    std::unique_ptr<SoundFileWriter> writer(new SoundFileWriter());
    SF_INFO info = InfoFor(format, sampleRate);
    writer->handle_->file = sf_open_fd(descriptor, SFM_WRITE, &info, SF_FALSE);
    if (writer->handle_->file == nullptr) {
        error = sf_strerror(nullptr);
        return nullptr;
    }
    return writer;
}

bool SoundFileWriter::Write(std::span<const std::int16_t> interleaved) {
    const auto frames = static_cast<sf_count_t>(interleaved.size() / 2);
    return sf_writef_short(handle_->file, interleaved.data(), frames) == frames;
}

bool SoundFileWriter::Close(std::string& error) {
    if (handle_->file == nullptr) return true;
    const int result = sf_close(handle_->file);
    handle_->file = nullptr;
    if (result != 0) {
        error = sf_error_number(result);
        return false;
    }
    return true;
}

std::optional<DecodedSound> ReadSoundFile(const std::filesystem::path& path, std::string& error) {
    SF_INFO info{};
    SoundFileWriter::Handle handle;
    handle.file = sf_open(path.string().c_str(), SFM_READ, &info);
    if (handle.file == nullptr) {
        error = sf_strerror(nullptr);
        return std::nullopt;
    }
    DecodedSound sound;
    sound.sampleRate = info.samplerate;
    sound.channels = info.channels;
    sound.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t read = sf_readf_short(handle.file, sound.samples.data(), info.frames);
    sound.samples.resize(static_cast<std::size_t>(read * info.channels));
    return sound;
}

}  // namespace qzr::tools
