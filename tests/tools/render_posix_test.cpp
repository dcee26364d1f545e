// The render cases that need POSIX: a terminal, signals, links, file modes and FIFOs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/program_run.h"
#include "render_fixture.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

// The bar needs a terminal: util-linux's `script` gives the program one. (Under Wine a program
// started by a test has no console to draw on.)
TEST_F(RenderTest, ProgressBarOnlyOnATerminal) {
    if (!std::filesystem::exists("/usr/bin/script")) GTEST_SKIP() << "no script(1) for a terminal";
    const ProgramRun onTerminal = RunProgram(
        {"/usr/bin/script", "-qec", QzrPath() + " render tiny.opm.mml.qzr -o tty.wav", "/dev/null"},
        dir_.Path());
    ASSERT_EQ(onTerminal.status, 0) << onTerminal.out;
    EXPECT_NE(onTerminal.out.find("rendering ["), std::string::npos) << onTerminal.out;
    EXPECT_NE(onTerminal.out.find("100%"), std::string::npos);
    // Into a pipe: no bar, only the level line.
    const ProgramRun piped = Qzr({"render", "tiny.opm.mml.qzr", "-o", "pipe.wav"});
    EXPECT_EQ(piped.out, "");
    EXPECT_EQ(piped.err.find("rendering ["), std::string::npos) << piped.err;
    EXPECT_EQ(piped.err.rfind("qzr: pipe.wav: peak ", 0), 0u) << piped.err;
    EXPECT_EQ(DecodeSamples(dir_ / "tty.wav"), DecodeSamples(dir_ / "pipe.wav"));
}

// SIGTERM and SIGHUP end a render as Ctrl-C does.
TEST_F(RenderTest, SignalsEndARenderLeavingNoFileBehind) {
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        ExpectEndingLeavesNoFileBehind([signal](const ChildProcess& run) { run.Signal(signal); },
                                       128 + signal);
    }
}

// A link planted where a render writes is never written through: not at the name the render
// once used for its partial file, and not at the output itself (the link is replaced).
TEST_F(RenderTest, LinksBesideOrAtTheOutputAreNeverFollowed) {
    WriteText(dir_ / "victim", "victim");
    std::filesystem::create_symlink(dir_ / "victim", dir_ / "out.wav.partial");
    std::filesystem::create_symlink(dir_ / "victim", dir_ / "link.wav");
    for (const std::string output : {"out.wav", "link.wav"}) {
        SCOPED_TRACE(output);
        const ProgramRun result =
            Qzr({"render", "tiny.opm.mml.qzr", "-o", output, "--seconds", "0.25"});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(ReadText(dir_ / "victim"), "victim");
        EXPECT_FALSE(std::filesystem::is_symlink(dir_ / output));
        EXPECT_EQ(DecodeSamples(dir_ / output).size(), 2u * kRate / 4);
    }
}

// A render replacing an earlier one keeps its mode.
TEST_F(RenderTest, ReplacedOutputKeepsItsMode) {
    for (const unsigned mode : {0640u, 0600u, 0664u}) {
        SCOPED_TRACE(mode);
        WriteText(dir_ / "out.wav", "old");
        ASSERT_EQ(chmod((dir_ / "out.wav").c_str(), mode), 0);
        ASSERT_EQ(Qzr({"render", "tiny.opm.mml.qzr", "-o", "out.wav", "--seconds", "0.1"}).status,
                  0);
        struct stat info {};
        ASSERT_EQ(stat((dir_ / "out.wav").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, mode);
    }
}

// The song is opened once: a FIFO renders like the file, where a second open would wait for a
// writer for ever (and a file replaced between two opens would mix two songs).
TEST_F(RenderTest, SongIsReadOnceSoAFifoWorks) {
    const auto fifo = dir_ / "song.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const Bytes song = ReadBytes(song_);
    // The writer waits in its open for the reader, as a shell's writer does.
    std::jthread writer([&fifo, &song] {
        const int fd = open(fifo.c_str(), O_WRONLY);
        if (fd < 0) return;
        [[maybe_unused]] const auto written = write(fd, song.data(), song.size());
        close(fd);
    });
    ChildProcess run({QzrPath(), "render", "song.fifo", "--chip", "opm", "-o", "fifo.wav"},
                     dir_.Path());
    EXPECT_EQ(run.Wait(std::chrono::seconds(20)), 0) << run.Err();
    // Lets the writer go should the render never have opened the FIFO.
    close(open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
    writer.join();
    ASSERT_EQ(Qzr({"render", "tiny.opm.mml.qzr", "-o", "file.wav"}).status, 0);
    EXPECT_EQ(DecodeSamples(dir_ / "fifo.wav"), DecodeSamples(dir_ / "file.wav"));
}

}  // namespace
}  // namespace qzr::test
