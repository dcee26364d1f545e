#include "qzr/ymrender/wav_writer.h"

#include <algorithm>

#include "qzr/common/file_replacement.h"
#include "qzr/common/wav_writer.h"

namespace qzr::ymrender {

// Through the project's one WAV writer, a chunk of frames at a time.
std::vector<std::uint8_t> EncodeWav(std::span<const emulator::StereoSample> frames,
                                    std::uint32_t rate) {
    std::vector<std::uint8_t> out;
    out.reserve(kWavHeaderBytes + frames.size() * kWavBytesPerFrame);
    WavStreamWriter wav(frames.size(), rate, [&out](std::span<const std::uint8_t> bytes) {
        out.insert(out.end(), bytes.begin(), bytes.end());
        return true;
    });
    constexpr std::size_t kChunkFrames = 4096;
    std::vector<std::int16_t> interleaved;
    for (std::size_t first = 0; first < frames.size(); first += kChunkFrames) {
        interleaved.clear();
        for (const auto& f : frames.subspan(first, std::min(kChunkFrames, frames.size() - first))) {
            interleaved.push_back(f.left);
            interleaved.push_back(f.right);
        }
        wav.Write(interleaved);
    }
    wav.Finish();
    return out;
}

std::string WriteFileReplacing(const std::filesystem::path& path,
                               std::span<const std::uint8_t> bytes) {
    FileReplacement file(path);
    std::string error;
    if (!file.Open(error) || !file.Write(bytes, error) || !file.Commit(error)) return error;
    return {};
}

}  // namespace qzr::ymrender
