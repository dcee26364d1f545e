#include "qzr/tools/sound_file.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace qzr::tools {

struct SoundFileWriter::Memory {
    std::vector<std::uint8_t> bytes;
    sf_count_t position = 0;
};

struct SoundFileWriter::Handle {
    SNDFILE* file = nullptr;
    ~Handle() {
        if (file != nullptr) sf_close(file);
    }
};

namespace {

using Memory = SoundFileWriter::Memory;

Memory& AsMemory(void* user) { return *static_cast<Memory*>(user); }

sf_count_t MemoryLength(void* user) { return static_cast<sf_count_t>(AsMemory(user).bytes.size()); }

sf_count_t MemorySeek(sf_count_t offset, int whence, void* user) {
    Memory& m = AsMemory(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR) base = m.position;
    if (whence == SEEK_END) base = static_cast<sf_count_t>(m.bytes.size());
    m.position = std::max<sf_count_t>(0, base + offset);
    return m.position;
}

sf_count_t MemoryRead(void* ptr, sf_count_t count, void* user) {
    Memory& m = AsMemory(user);
    const auto size = static_cast<sf_count_t>(m.bytes.size());
    const sf_count_t n = std::clamp<sf_count_t>(size - m.position, 0, count);
    if (n > 0) std::memcpy(ptr, m.bytes.data() + m.position, static_cast<std::size_t>(n));
    m.position += n;
    return n;
}

sf_count_t MemoryWrite(const void* ptr, sf_count_t count, void* user) {
    Memory& m = AsMemory(user);
    const auto end = static_cast<std::size_t>(m.position + count);
    if (end > m.bytes.size()) m.bytes.resize(end);
    std::memcpy(m.bytes.data() + m.position, ptr, static_cast<std::size_t>(count));
    m.position += count;
    return count;
}

sf_count_t MemoryTell(void* user) { return AsMemory(user).position; }

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

std::unique_ptr<SoundFileWriter> SoundFileWriter::ToFile(const std::filesystem::path& path,
                                                         SoundFormat format, int sampleRate,
                                                         std::string& error) {
    std::unique_ptr<SoundFileWriter> writer(new SoundFileWriter());
    SF_INFO info = InfoFor(format, sampleRate);
    writer->handle_->file = sf_open(path.string().c_str(), SFM_WRITE, &info);
    if (writer->handle_->file == nullptr) {
        error = sf_strerror(nullptr);
        return nullptr;
    }
    return writer;
}

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

std::unique_ptr<SoundFileWriter> SoundFileWriter::ToMemory(SoundFormat format, int sampleRate,
                                                           std::string& error) {
    static SF_VIRTUAL_IO io{&MemoryLength, &MemorySeek, &MemoryRead, &MemoryWrite, &MemoryTell};
    std::unique_ptr<SoundFileWriter> writer(new SoundFileWriter());
    writer->memory_ = std::make_unique<Memory>();
    SF_INFO info = InfoFor(format, sampleRate);
    writer->handle_->file = sf_open_virtual(&io, SFM_WRITE, &info, writer->memory_.get());
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

const std::vector<std::uint8_t>& SoundFileWriter::MemoryBytes() const {
    static const std::vector<std::uint8_t> kNone;
    return memory_ ? memory_->bytes : kNone;
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
