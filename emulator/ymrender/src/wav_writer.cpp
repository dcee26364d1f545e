#include "qzr/ymrender/wav_writer.h"

#include "qzr/common/file_replacement.h"

namespace qzr::ymrender {
namespace {

void PutLE16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLE32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

void PutTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(tag[i]));
}

}  // namespace

std::vector<std::uint8_t> EncodeWav(std::span<const emulator::StereoSample> frames,
                                    std::uint32_t rate) {
    const auto dataBytes = static_cast<std::uint32_t>(frames.size() * 4);
    std::vector<std::uint8_t> out;
    out.reserve(44 + dataBytes);
    PutTag(out, "RIFF");
    PutLE32(out, 36 + dataBytes);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    PutLE32(out, 16);
    PutLE16(out, 1);  // PCM
    PutLE16(out, 2);  // channels
    PutLE32(out, rate);
    PutLE32(out, rate * 4);  // bytes per second
    PutLE16(out, 4);         // bytes per frame
    PutLE16(out, 16);        // bits per sample
    PutTag(out, "data");
    PutLE32(out, dataBytes);
    for (const auto& f : frames) {
        PutLE16(out, static_cast<std::uint16_t>(f.left));
        PutLE16(out, static_cast<std::uint16_t>(f.right));
    }
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
