#include "qzr/common/file_replacement.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"

namespace qzr::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::span<const std::uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Replaces `target` with `text`; the reason on failure.
std::string Replace(const fs::path& target, const std::string& text) {
    FileReplacement file(target);
    std::string error;
    if (!file.Open(error) || !file.Write(AsBytes(text), error) || !file.Commit(error)) {
        return error.empty() ? "failed without a reason" : error;
    }
    return {};
}

unsigned ModeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0);
    return static_cast<unsigned>(info.st_mode & 07777);
}

TEST(FileReplacement, PutsTheNewContentsInPlaceAsANewFileKeepingTheMode) {
    struct Case {
        std::string name;
        bool existing;
        unsigned mode;
    };
    const std::vector<Case> cases{{"new file", false, 0},
                                  {"existing 0644", true, 0644},
                                  {"existing 0640", true, 0640},
                                  {"existing 0600", true, 0600},
                                  {"existing 0755", true, 0755}};
    const mode_t mask = umask(022);
    for (const auto& [name, existing, mode] : cases) {
        SCOPED_TRACE(name);
        TempDir dir("replace");
        const fs::path target = dir / "song.qzr";
        if (existing) {
            WriteText(target, "old contents");
            ASSERT_EQ(chmod(target.c_str(), mode), 0);
            // A hard link to the old file keeps the old contents: the target becomes a new file.
            ASSERT_EQ(link(target.c_str(), (dir / "linked").c_str()), 0);
        }
        EXPECT_EQ(Replace(target, "new"), "");
        EXPECT_EQ(ReadText(target), "new");
        EXPECT_EQ(ModeOf(target), existing ? mode : 0644u);
        if (existing) {
            EXPECT_EQ(ReadText(dir / "linked"), "old contents");
            EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"linked", "song.qzr"}));
        } else {
            EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"song.qzr"}));
        }
    }
    umask(mask);
}

TEST(FileReplacement, ALinkAtTheTargetIsReplacedNeverWrittenThrough) {
    TempDir dir("replace");
    WriteText(dir / "victim", "victim");
    fs::create_symlink(dir / "victim", dir / "out.wav");
    EXPECT_EQ(Replace(dir / "out.wav", "render"), "");
    EXPECT_EQ(ReadText(dir / "victim"), "victim");
    EXPECT_FALSE(fs::is_symlink(dir / "out.wav"));
    EXPECT_EQ(ReadText(dir / "out.wav"), "render");
}

TEST(FileReplacement, RefusedTargetsAndDiscardsLeaveTheFolderAsItWas) {
    TempDir dir("replace");
    fs::create_directory(dir / "folder");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    WriteText(dir / "kept", "kept");
    struct Case {
        std::string target;
        std::string error;
    };
    for (const auto& [target, error] :
         std::vector<Case>{{"folder", "is a folder"},
                           {"fifo", "is not a regular file"},
                           {"missing/song.qzr", "No such file or directory"}}) {
        SCOPED_TRACE(target);
        const auto before = Listing(dir.Path());
        const std::string reason = Replace(dir / target, "new");
        EXPECT_NE(reason.find(error), std::string::npos) << reason;
        EXPECT_EQ(Listing(dir.Path()), before);
    }
    {
        // Written but never committed: the temporary goes, the old file stays.
        FileReplacement file(dir / "kept");
        std::string error;
        ASSERT_TRUE(file.Open(error)) << error;
        ASSERT_TRUE(file.Write(AsBytes("half"), error)) << error;
        EXPECT_TRUE(fs::exists(file.TemporaryPath()));
        EXPECT_EQ(file.TemporaryPath().parent_path(), dir.Path());
    }
    EXPECT_EQ(ReadText(dir / "kept"), "kept");
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"fifo", "folder", "kept"}));
}

TEST(FileReplacement, WritersAtOnceEachPutAWholeFileInPlace) {
    TempDir dir("replace");
    constexpr int kWriters = 8;
    std::vector<std::string> contents;
    for (int w = 0; w < kWriters; ++w)
        contents.push_back(std::string(100'000, static_cast<char>('a' + w)));
    std::vector<std::string> errors(kWriters);
    {
        std::vector<std::jthread> writers;
        for (int w = 0; w < kWriters; ++w) {
            writers.emplace_back([&, w] {
                errors[static_cast<std::size_t>(w)] =
                    Replace(dir / "out", contents[static_cast<std::size_t>(w)]);
            });
        }
    }
    for (const auto& error : errors) EXPECT_EQ(error, "");
    const std::string result = ReadText(dir / "out");
    EXPECT_NE(std::find(contents.begin(), contents.end(), result), contents.end());
    EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"out"}));
}

// A signal that ends the process removes the temporary of a replacement in progress; the
// process still ends by that signal. The child is forked where it stands ("fast"): one re-run
// from the start would make a folder of its own that its death leaves behind.
TEST(FileReplacementDeathTest, InterruptingSignalsRemoveTheTemporary) {
    GTEST_FLAG_SET(death_test_style, "fast");
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        TempDir dir("replace");
        WriteText(dir / "out", "old");
        EXPECT_EXIT(
            {
                FileReplacement file(dir / "out");
                std::string error;
                if (!file.Open(error) || !file.Write(AsBytes("partial"), error)) std::_Exit(3);
                raise(signal);
                std::_Exit(4);
            },
            testing::KilledBySignal(signal), "");
        EXPECT_EQ(ReadText(dir / "out"), "old");
        EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"out"}));
    }
}

}  // namespace
}  // namespace qzr::test
