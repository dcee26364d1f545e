#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/frame_hash.h"
#include "qzr/ymrender/register_script.h"

namespace qzr::ymrender {
namespace {

constexpr std::uint64_t kGoldenSamples = 30000;

std::filesystem::path ScriptsDir() {
    return std::filesystem::path(QZR_SOURCE_DIR) / "tests/ymrender/scripts";
}
std::filesystem::path HashesPath() {
    return std::filesystem::path(QZR_SOURCE_DIR) / "tests/golden/ymrender/render_hashes.txt";
}

// FNV-1a over the frames as little-endian 16-bit values, left first.
std::uint64_t HashFrames(const std::vector<emulator::StereoSample>& frames) {
    test::FrameHash hash;
    for (const auto& f : frames) hash.Add(f.left, f.right);
    return hash.Value();
}

std::vector<emulator::StereoSample> RenderFile(const std::filesystem::path& script) {
    const ParsedScript parsed = ParseRegisterScript(test::ReadText(script));
    EXPECT_FALSE(parsed.error.has_value()) << script;
    return RenderScript(ScheduleWrites(parsed.writes), kGoldenSamples);
}

std::string Hex(std::uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

// One script per unit of the chip; a change in any sample of any of them changes its hash.
TEST(GoldenRender, EveryUnitScriptMatchesItsHash) {
    std::map<std::string, std::uint64_t> actual;
    for (const auto& entry : std::filesystem::directory_iterator(ScriptsDir())) {
        if (entry.path().extension() != ".ymr") continue;
        actual[entry.path().filename().string()] = HashFrames(RenderFile(entry.path()));
    }
    ASSERT_GE(actual.size(), 16u);
    if (test::UpdatingGolden()) {
        std::ostringstream out;
        out << "# script, FNV-1a 64 of the first " << kGoldenSamples
            << " frames (16-bit little-endian, left first)\n";
        for (const auto& [name, hash] : actual) out << name << " " << Hex(hash) << "\n";
        test::WriteText(HashesPath(), out.str());
        GTEST_SKIP() << "golden hashes rewritten";
    }
    std::map<std::string, std::uint64_t> expected;
    std::istringstream in(test::ReadText(HashesPath()));
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, hash;
        fields >> name >> hash;
        std::uint64_t value = 0;
        std::from_chars(hash.data(), hash.data() + hash.size(), value, 16);
        expected[name] = value;
    }
    for (const auto& [name, hash] : actual) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(expected.count(name)) << "no golden hash";
        EXPECT_EQ(Hex(hash), Hex(expected[name]));
    }
}

// The same writes at the same samples give the same samples, also after a reset.
TEST(GoldenRender, RendersAreDeterministic) {
    const auto script = ScriptsDir() / "lfo_noise.ymr";
    EXPECT_EQ(HashFrames(RenderFile(script)), HashFrames(RenderFile(script)));
    const auto writes = ScheduleWrites(ParseRegisterScript(test::ReadText(script)).writes);
    emulator::YM2151 chip;
    std::vector<emulator::StereoSample> first, second;
    for (int pass = 0; pass < 2; ++pass) {
        auto& frames = pass == 0 ? first : second;
        std::size_t next = 0;
        for (std::uint64_t n = 0; n < 20000; ++n) {
            while (next < writes.size() && writes[next].sample == n) {
                chip.Write(writes[next].reg, writes[next].value);
                ++next;
            }
            frames.push_back(chip.Generate());
        }
        chip.Reset();
    }
    EXPECT_EQ(HashFrames(first), HashFrames(second));
}

}  // namespace
}  // namespace qzr::ymrender
