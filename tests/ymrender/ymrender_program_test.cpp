#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"

namespace {

struct Outcome {
    int status;
    std::string errors;
};

// Runs the built program with `arguments` in `dir`, capturing standard error.
Outcome RunYmrender(const qzr::test::TempDir& dir, const std::string& arguments) {
    const std::string command = "cd '" + dir.Path().string() + "' && '" + QZR_BIN_DIR +
                                "/ymrender' " + arguments + " 2> stderr.txt";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, qzr::test::ReadText(dir / "stderr.txt")};
}

TEST(Ymrender, WritesTheScriptsNameWithWavAtTheNativeRate) {
    qzr::test::TempDir dir("ymrender");
    qzr::test::WriteText(dir / "a4.txt", "0 0x20 0xC7\n0 0x28 0x4A\n0 0x80 0x1F\n0 0x08 0x08\n");
    const Outcome out = RunYmrender(dir, "a4.txt");
    EXPECT_EQ(out.status, 0) << out.errors;
    const auto wav = qzr::test::ReadBytes(dir / "a4.txt.wav");
    // Four writes at samples 0..3, then one second: 55,933 frames of 4 bytes.
    ASSERT_EQ(wav.size(), 44u + 4u * 55'933u);
    EXPECT_EQ(wav[24] | wav[25] << 8 | wav[26] << 16, 55'930);
    // The key write precedes sample 3: the first value 25 is frame 7.
    EXPECT_EQ(wav[44 + 4 * 6], 0);
    EXPECT_EQ(wav[44 + 4 * 7], 25);
    EXPECT_EQ(wav[44 + 4 * 7 + 2], 25);

    EXPECT_EQ(RunYmrender(dir, "a4.txt -o short.wav --samples 10").status, 0);
    EXPECT_EQ(qzr::test::ReadBytes(dir / "short.wav").size(), 44u + 40u);
}

TEST(Ymrender, BadInputGivesItsLineAndStatusTwo) {
    qzr::test::TempDir dir("ymrender");
    qzr::test::WriteText(dir / "bad.txt", "# fine\n5 8 0\n4 8 0\n");
    qzr::test::WriteText(dir / "good.txt", "0 8 0\n");
    qzr::test::WriteText(dir / "keep.wav", "precious");
    struct Case {
        std::string arguments, errors;
    };
    const std::vector<Case> cases{
        {"bad.txt -o keep.wav",
         "bad.txt:3: sample 4 comes after sample 5; lines must be in order of sample\n"},
        {"missing.txt", "ymrender: cannot read missing.txt\n"},
        {"", "usage: ymrender SCRIPT [-o OUT.wav] [--samples N]\n"},
        {"bad.txt --samples ten", "ymrender: --samples needs a whole number, not \"ten\"\n"},
        {"good.txt --samples 99999999999",
         "ymrender: 99999999999 samples is more than the 268435456 a render may have\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome out = RunYmrender(dir, c.arguments);
        EXPECT_EQ(out.status, 2);
        EXPECT_EQ(out.errors, c.errors);
    }
    EXPECT_EQ(qzr::test::ReadText(dir / "keep.wav"), "precious");
}

// The output is replaced through a temporary of its own: a link planted at the name once used
// for it, or at the output, is never written through, and the output keeps its mode.
TEST(Ymrender, ReplacesItsOutputWithoutFollowingLinksAndKeepsItsMode) {
    qzr::test::TempDir dir("ymrender");
    qzr::test::WriteText(dir / "good.txt", "0 8 0\n");
    qzr::test::WriteText(dir / "victim", "victim");
    std::filesystem::create_symlink(dir / "victim", dir / "out.wav.part");
    std::filesystem::create_symlink(dir / "victim", dir / "link.wav");
    qzr::test::WriteText(dir / "kept.wav", "old");
    ASSERT_EQ(chmod((dir / "kept.wav").c_str(), 0640), 0);
    for (const std::string output : {"out.wav", "link.wav", "kept.wav"}) {
        SCOPED_TRACE(output);
        const Outcome out = RunYmrender(dir, "good.txt --samples 10 -o " + output);
        EXPECT_EQ(out.status, 0) << out.errors;
        EXPECT_EQ(qzr::test::ReadText(dir / "victim"), "victim");
        EXPECT_FALSE(std::filesystem::is_symlink(dir / output));
        EXPECT_EQ(qzr::test::ReadBytes(dir / output).size(), 44u + 40u);
    }
    struct stat info {};
    ASSERT_EQ(stat((dir / "kept.wav").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

}  // namespace
