// The real programs, run as a user runs them: messages, streams, exit statuses, and what they
// leave on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

// Files that are not regular never make a compiler wait: a voice naming a FIFO nobody writes
// reads as empty (its bytes count as 0), and a source in a FIFO is read once, as it comes.
TEST(CompilerProgram, FifosNeverMakeTheCompilerWait) {
    CompilerFolder folder;
    ASSERT_EQ(mkfifo((folder.Path() / "voice.fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((folder.Path() / "source.fifo").c_str(), 0600), 0);
    const std::string fifoVoice = SourceText(kOPMTarget, SourceSpec{.voices = {"voice.fifo"}});
    folder.WriteSource("fifovoice.mml", fifoVoice);
    folder.WriteSource("plain.mml", kSong);
    struct Case {
        std::string name;
        std::string command;  // run in the folder
        std::string song;
        Bytes expected;
    };
    const std::string bin = std::string("'") + QZR_BIN_DIR + "/opmcomp' ";
    const std::vector<Case> cases{
        {"voice FIFO", "timeout 20 " + bin + "fifovoice.mml", "fifovoice.mml.qzr",
         WithWrites(
             folder.Compile(kOPMTarget, SourceSpec{.voices = {"plain.voice"}}).song,
             {{24, 0}, {25, 0}, {26, 0}, {27, 0}, {28, 0}, {29, 0}, {30, 0},   {31, 0}, {32, 0},
              {33, 0}, {34, 0}, {35, 0}, {36, 0}, {37, 0}, {38, 0}, {39, 0},   {40, 0}, {41, 0},
              {42, 0}, {43, 0}, {44, 0}, {45, 0}, {46, 0}, {47, 0}, {48, 0xC0}})},
        {"source FIFO", "(cat plain.mml > source.fifo &) && timeout 20 " + bin + "source.fifo",
         "source.fifo.qzr", folder.Compile(kOPMTarget, kSong).song},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string command = "cd '" + folder.Path().string() + "' && " + c.command;
        const int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), 0);
        const Bytes actual = ReadBytes(folder.Path() / c.song);
        EXPECT_EQ(FirstDifference(actual, c.expected), std::nullopt)
            << HexContext(actual, c.expected);
    }
}

// A source of 512 MiB (sparse: its body one line of zero bytes) compiles in an address space
// far smaller than the source: it is read line by line, a line kept up to 64 KiB.
TEST(CompilerProgram, AHugeSourceCompilesInTheMemoryOfOneLine) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer needs more address space than the limit leaves";
#endif
    CompilerFolder folder;
    const std::string header = SourceText(kOPMTarget, SourceSpec{.body = {"ch1", "c", ""}});
    folder.WriteSource("huge.mml", header);
    std::filesystem::resize_file(folder.Path() / "huge.mml", std::uintmax_t{512} << 20);
    const std::string command = "cd '" + folder.Path().string() + "' && (ulimit -v 300000; '" +
                                QZR_BIN_DIR + "/opmcomp' huge.mml) 2> err.txt";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 0) << ReadText(folder.Path() / "err.txt");
    EXPECT_EQ(ReadBytes(folder.Path() / "huge.mml.qzr"),
              folder.Compile(kOPMTarget, SourceSpec{.body = {"ch1", "c"}}).song);
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
