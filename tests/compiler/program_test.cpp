// The real programs, run as a user runs them: messages, streams, exit statuses, and what they
// leave on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "compiler_test_support.h"
#include "qzr/test_support/file_bytes.h"

namespace qzr::test {
namespace {

const std::string kSong = SourceText(kOPMTarget, SourceSpec{.body = {"ch1", "o4", "c4", "e"}});

TEST(CompilerProgram, NoArgumentSaysSoOnStandardOutput) {
    CompilerFolder folder;
    for (const char* program : {"opmcomp", "opn2comp"}) {
        for (const char* arguments : {"", "' '", "'  '"}) {
            SCOPED_TRACE(std::string(program) + " " + arguments);
            const auto before = FolderListing(folder.Path());
            const auto run = RunProgram(program, arguments, folder.Path());
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.out, "No input file\n");
            EXPECT_EQ(run.err, "");
            EXPECT_EQ(FolderListing(folder.Path()), before);
        }
    }
}

TEST(CompilerProgram, SuccessWritesSourceNameDotQzrAndPrintsNothing) {
    CompilerFolder folder;
    folder.WriteSource("a.mml", kSong);
    folder.WriteSource("my song.mml", kSong);
    const auto expected = folder.Compile(kOPMTarget, kSong).song;
    for (const auto& [arguments, output] :
         std::vector<std::pair<std::string, std::string>>{{"a.mml", "a.mml.qzr"},
                                                          {"'my song.mml'", "my song.mml.qzr"},
                                                          {"my song.mml", "my song.mml.qzr"}}) {
        SCOPED_TRACE(arguments);
        const auto run = RunProgram("opmcomp", arguments, folder.Path());
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out + run.err, "");
        const Bytes actual = ReadBytes(folder.Path() / output);
        EXPECT_EQ(FirstDifference(actual, expected), std::nullopt) << HexContext(actual, expected);
    }
    EXPECT_EQ(FolderListing(folder.Path()),
              (std::vector<std::string>{"a.mml", "a.mml.qzr", "my song.mml", "my song.mml.qzr",
                                        "plain.voice"}));
}

TEST(CompilerProgram, OPN2ProgramUsesTheOPN2Layout) {
    CompilerFolder folder;
    const std::string source =
        SourceText(kOPN2Target, SourceSpec{.body = {"ch2", "c", "ch7", "d", "ch8", "e"}});
    folder.WriteSource("b.opn2.mml", source);
    const auto run = RunProgram("opn2comp", "b.opn2.mml", folder.Path());
    EXPECT_EQ(run.status, 0);
    const Bytes expected = WithWrites(
        folder.Compile(kOPN2Target, SourceSpec{}).song,
        {{218, 1}, {219, 1}, {399, 2}, {410, 3}, {411, 1}, {591, 2}, {602, 5}, {603, 1}, {783, 2}});
    const Bytes actual = ReadBytes(folder.Path() / "b.opn2.mml.qzr");
    EXPECT_EQ(FirstDifference(actual, expected), std::nullopt) << HexContext(actual, expected);
}

TEST(CompilerProgram, FailuresPrintThePathAndLeaveNoSongBehind) {
    CompilerFolder folder;
    std::filesystem::create_directory(folder.Path() / "dir.mml");
    std::filesystem::create_directory(folder.Path() / "voicedir");
    std::filesystem::create_directory(folder.Path() / "taken.mml.qzr");
    folder.WriteSource("taken.mml", kSong);
    folder.WriteSource("novoice.mml",
                       SourceText(kOPMTarget, SourceSpec{.voices = {"plain.voice", "gone.voice"}}));
    folder.WriteSource("dirvoice.mml", SourceText(kOPMTarget, SourceSpec{.voices = {"voicedir"}}));
    folder.WriteSource("short.mml", "title\n6\n");
    struct Case {
        std::string arguments;
        std::string message;
    };
    const std::vector<Case> cases{
        {"nothere.mml", "Can't open file nothere.mml\n"},
        {"dir.mml", "Can't open file dir.mml\n"},
        {"taken.mml", "Can't open file taken.mml.qzr\n"},
        {"novoice.mml", "Can't open file gone.voice\n"},
        {"dirvoice.mml", "Can't open file voicedir\n"},
        {"short.mml", "Can't open file \n"},
    };
    for (const char* program : {"opmcomp", "opn2comp"}) {
        for (const auto& [arguments, message] : cases) {
            SCOPED_TRACE(std::string(program) + " " + arguments);
            const auto before = FolderListing(folder.Path());
            const auto run = RunProgram(program, arguments, folder.Path());
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err, message);
            EXPECT_EQ(FolderListing(folder.Path()), before);  // no song, no temporary file
        }
    }
}

TEST(CompilerProgram, FailureLeavesAnExistingSongUnchanged) {
    CompilerFolder folder;
    folder.WriteSource("song.mml", SourceText(kOPMTarget, SourceSpec{.voices = {"gone.voice"}}));
    const Bytes old{'o', 'l', 'd'};
    WriteBytes(folder.Path() / "song.mml.qzr", old);
    const auto run = RunProgram("opmcomp", "song.mml", folder.Path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(ReadBytes(folder.Path() / "song.mml.qzr"), old);

    // Once the voice is there, the next run replaces the old song completely.
    WriteBytes(folder.Path() / "gone.voice", PlainVoice());
    EXPECT_EQ(RunProgram("opmcomp", "song.mml", folder.Path()).status, 0);
    EXPECT_EQ(ReadBytes(folder.Path() / "song.mml.qzr").size(), 272u);
}

// The new song is a new file with the old one's mode: a hard link keeps the old song.
TEST(CompilerProgram, ReplacedSongKeepsItsModeAndIsANewFile) {
    CompilerFolder folder;
    folder.WriteSource("song.mml", kSong);
    const auto song = folder.Path() / "song.mml.qzr";
    for (const unsigned mode : {0640u, 0600u, 0644u, 0660u}) {
        SCOPED_TRACE(mode);
        WriteBytes(song, Bytes{'o', 'l', 'd'});
        ASSERT_EQ(chmod(song.c_str(), mode), 0);
        std::filesystem::remove(folder.Path() / "linked");
        std::filesystem::create_hard_link(song, folder.Path() / "linked");
        EXPECT_EQ(RunProgram("opmcomp", "song.mml", folder.Path()).status, 0);
        struct stat info {};
        ASSERT_EQ(stat(song.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, mode);
        EXPECT_EQ(ReadBytes(song), folder.Compile(kOPMTarget, kSong).song);
        EXPECT_EQ(ReadBytes(folder.Path() / "linked"), (Bytes{'o', 'l', 'd'}));
    }
}

TEST(CompilerProgram, ReadOnlyVoiceFilesWork) {
    CompilerFolder folder;
    folder.WriteSource("song.mml", kSong);
    std::filesystem::permissions(folder.Path() / "plain.voice",
                                 std::filesystem::perms::owner_read |
                                     std::filesystem::perms::group_read |
                                     std::filesystem::perms::others_read);
    // As root every file is writable; run as an unprivileged user where we can, so that a
    // voice opened for writing would really fail.
    std::string prefix;
    if (::geteuid() == 0) {
        if (std::system("command -v setpriv >/dev/null 2>&1") != 0) {
            GTEST_SKIP() << "running as root without setpriv";
        }
        std::filesystem::permissions(folder.Path(), std::filesystem::perms::all);
        prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    const std::string command = "cd '" + folder.Path().string() + "' && " + prefix + "'" +
                                QZR_BIN_DIR + "/opmcomp' song.mml";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Bytes expected = folder.Compile(kOPMTarget, kSong).song;
    EXPECT_EQ(ReadBytes(folder.Path() / "song.mml.qzr"), expected);
}

}  // namespace
}  // namespace qzr::test
