#include "sound_output.h"

namespace qzr::tools {

bool SoundOutput::Open(SoundFormat format, std::uint64_t frames, int sampleRate,
                       std::string& error) {
    if (!replacement_.Open(error)) return false;
    if (format == SoundFormat::WAV) {
        wav_.emplace(frames, static_cast<std::uint32_t>(sampleRate),
                     [this](std::span<const std::uint8_t> bytes) {
                         return replacement_.Write(bytes, writeError_);
                     });
        return true;
    }
    flac_ = SoundFileWriter::ToDescriptor(replacement_.Descriptor(), format, sampleRate, error);
    if (!flac_) {
        error = Target().string() + ": " + error;
        Discard();
        return false;
    }
    return true;
}

bool SoundOutput::Write(std::span<const std::int16_t> interleaved) {
    return wav_ ? wav_->Write(interleaved) : flac_->Write(interleaved);
}

void SoundOutput::Discard() noexcept {
    // The writers first: libsndfile must be done with the descriptor before it is closed.
    flac_.reset();
    wav_.reset();
    replacement_.Discard();
}

std::string SoundOutput::WriteError() const {
    return writeError_.empty() ? Target().string() + ": cannot write the sound" : writeError_;
}

bool SoundOutput::Finish(std::string& error) {
    bool ok = true;
    if (wav_) {
        ok = wav_->Finish();
        if (!ok) error = Target().string() + ": cannot write the sound";
    } else if (!flac_->Close(error)) {
        error = Target().string() + ": " + error;
        ok = false;
    }
    if (!ok && !writeError_.empty()) error = writeError_;
    return ok;
}

}  // namespace qzr::tools
