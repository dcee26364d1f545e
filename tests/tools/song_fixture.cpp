#include "song_fixture.h"

#include <gtest/gtest.h>

#include "qzr/compiler/compile_song.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/program_run.h"
#include "qzr/tools/sound_file.h"

namespace qzr::test {

void WriteSineVoice(const std::filesystem::path& path) {
    WriteBytes(path, {0x01, 0x01, 0x01, 0x01,  // DT1/MUL: multiple 1
                      0x7F, 0x7F, 0x7F, 0x08,  // TL: only C2 sounds
                      0x1F, 0x1F, 0x1F, 0x1F,  // AR 31
                      0x00, 0x00, 0x00, 0x00,  // D1R 0
                      0x00, 0x00, 0x00, 0x00,  // D2R 0
                      0x0F, 0x0F, 0x0F, 0x0F,  // D1L 0, RR 15
                      0x07});                  // connection 7: every slot a carrier
}

std::string MakeSource(const std::string& title, int speed, int rowCount, SongKind kind,
                       const std::vector<std::string>& body, const std::string& voice) {
    std::string text =
        title + "\n" + std::to_string(speed) + "\n" + std::to_string(rowCount) + "\n";
    for (int v = 0; v < TargetFor(kind).channelCount; ++v) text += "11\n" + voice + "\n";
    for (const auto& line : body) text += line + "\n";
    return text;
}

std::filesystem::path CompileInto(const std::filesystem::path& folder, const std::string& name,
                                  const std::string& source, SongKind kind) {
    WriteText(folder / name, source);
    const CompileResult result = CompileFile(folder / name, TargetFor(kind), folder);
    EXPECT_EQ(result.status, CompileStatus::Ok) << result.failedPath;
    const auto song = folder / (name + ".qzr");
    WriteBytes(song, result.song);
    return song;
}

std::string QzrPath() { return ProgramPath("qzr"); }

std::vector<std::int16_t> DecodeSamples(const std::filesystem::path& path) {
    std::string error;
    const auto sound = tools::ReadSoundFile(path, error);
    EXPECT_TRUE(sound.has_value()) << path << ": " << error;
    if (!sound) return {};
    EXPECT_EQ(sound->channels, 2);
    return sound->samples;
}

}  // namespace qzr::test
