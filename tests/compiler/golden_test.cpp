// The example songs and the test cases, compiled by the real programs in a copy of their folder
// (voice paths are relative to the folder the compiler runs in), against golden files.
// QZR_UPDATE_GOLDEN=1 rewrites the golden files instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "compiler_test_support.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"

namespace qzr::test {
namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string ProgramFor(const std::string& source) {
    if (source.find(".opn2.") != std::string::npos) return "opn2comp";
    if (source.find(".opm.") != std::string::npos) return "opmcomp";
    return {};
}

// Compiles every source in a copy of `folder`; returns the songs by source name.
std::map<std::string, Bytes> CompileFolderCopy(const std::filesystem::path& folder) {
    TempDir copy("golden");
    std::filesystem::copy(folder, copy.Path(), std::filesystem::copy_options::recursive);
    std::map<std::string, Bytes> songs;
    for (const auto& entry : std::filesystem::directory_iterator(copy.Path())) {
        const std::string name = entry.path().filename().string();
        const std::string program = ProgramFor(name);
        if (!EndsWith(name, ".mml") || program.empty()) continue;
        const auto run = RunProgram(program, QuotedArgument(name), copy.Path());
        EXPECT_EQ(run.status, 0) << name << ": " << run.err;
        EXPECT_EQ(run.out + run.err, "") << name;
        songs[name] = ReadBytes(copy.Path() / (name + ".qzr"));
    }
    return songs;
}

void CompareWithGolden(const std::map<std::string, Bytes>& songs,
                       const std::filesystem::path& goldenFolder) {
    for (const auto& [name, song] : songs) {
        SCOPED_TRACE(name);
        const auto golden = goldenFolder / (name + ".qzr");
        if (UpdatingGolden()) {
            std::filesystem::create_directories(goldenFolder);
            WriteBytes(golden, song);
            continue;
        }
        ASSERT_TRUE(std::filesystem::exists(golden)) << "no golden file " << golden;
        const Bytes expected = ReadBytes(golden);
        EXPECT_EQ(FirstDifference(song, expected), std::nullopt) << HexContext(song, expected);
    }
}

TEST(GoldenSongs, ExamplesCompileToTheirGoldenFiles) {
    const auto songs = CompileFolderCopy(SourcePath("examples"));
    int opm = 0;
    int opn2 = 0;
    for (const auto& [name, song] : songs) {
        (ProgramFor(name) == "opmcomp" ? opm : opn2) += 1;
    }
    EXPECT_GE(opm, 1);
    EXPECT_GE(opn2, 1);
    CompareWithGolden(songs, SourcePath("tests/golden"));
}

TEST(GoldenSongs, TestCasesCompileToTheirGoldenFiles) {
    const auto songs = CompileFolderCopy(SourcePath("tests/compiler/cases"));
    EXPECT_GE(songs.size(), 8u);
    CompareWithGolden(songs, SourcePath("tests/golden/cases"));
    // A CR LF copy of a source, cut short by a byte 26, compiles exactly like the LF original.
    for (const auto& [name, song] : songs) {
        if (!EndsWith(name, ".crlf.mml")) continue;
        const std::string plain = name.substr(0, name.size() - 9) + ".mml";
        SCOPED_TRACE(name);
        ASSERT_TRUE(songs.contains(plain));
        EXPECT_EQ(FirstDifference(song, songs.at(plain)), std::nullopt);
    }
}

int LineCount(const std::filesystem::path& path) {
    const std::string text = ReadText(path);
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// The examples in qzr MML build, in place, to the very files the classic sources compile to, in
// at most a third of their lines.
TEST(GoldenSongs, QmmlExamplesBuildToTheClassicExamplesFiles) {
    int ported = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SourcePath("examples"))) {
        const std::string name = entry.path().filename().string();
        if (!EndsWith(name, ".qmml")) continue;
        SCOPED_TRACE(name);
        ++ported;
        const std::string classic = name.substr(0, name.size() - 5) + ".mml";
        const qmml::Result built = qmml::CompileFile(entry.path());
        EXPECT_EQ(DiagnosticLines(built, name), std::vector<std::string>{});
        const Bytes expected = ReadBytes(SourcePath("tests/golden/" + classic + ".qzr"));
        EXPECT_EQ(FirstDifference(built.song, expected), std::nullopt)
            << HexContext(built.song, expected);
        EXPECT_LE(3 * LineCount(entry.path()), LineCount(SourcePath("examples/" + classic)));
    }
    EXPECT_EQ(ported, 2);
}

}  // namespace
}  // namespace qzr::test
