// qzr build, lower, voice, and the qmml sources that check and info take: run as a user runs
// them, in a copy of the examples.
#include "qzr/tools/build.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/program_run.h"
#include "qzr/test_support/temp_dir.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

std::vector<std::string> Listing(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        names.push_back(std::filesystem::relative(entry.path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class QzrBuild : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy(SourcePath("examples"), dir_.Path(),
                              std::filesystem::copy_options::recursive);
    }
    ProgramRun Qzr(std::vector<std::string> args, const std::filesystem::path& in = {}) {
        args.insert(args.begin(), QzrPath());
        return RunProgram(args, in.empty() ? dir_.Path() : in);
    }
    TempDir dir_{"qzr_build"};
};

TEST_F(QzrBuild, WritesTheSongBesideTheSourceOrWhereTold) {
    const ProgramRun built = Qzr({"build", "harbour_lights.opm.qmml"});
    EXPECT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(built.err, "");
    EXPECT_EQ(built.out, "harbour_lights.opm.qzr: 20744 bytes, 1280 rows\n");
    EXPECT_EQ(ReadBytes(dir_ / "harbour_lights.opm.qzr"),
              ReadBytes(SourcePath("tests/golden/harbour_lights.opm.mml.qzr")));

    // From another folder: voice paths are the source's folder's.
    std::filesystem::create_directories(dir_ / "out");
    const ProgramRun elsewhere =
        Qzr({"build", "../harbour_lights.opn2.qmml", "-o", "song.qzr"}, dir_ / "out");
    EXPECT_EQ(elsewhere.status, 0) << elsewhere.err;
    EXPECT_EQ(ReadBytes(dir_ / "out/song.qzr"),
              ReadBytes(SourcePath("tests/golden/harbour_lights.opn2.mml.qzr")));

    EXPECT_EQ(tools::DefaultBuildOutput("a/song.opm.qmml"), "a/song.opm.qzr");
    EXPECT_EQ(tools::DefaultBuildOutput("song.txt"), "song.txt.qzr");
}

TEST_F(QzrBuild, ASourceWithErrorsWritesNothingAndReportsThemAll) {
    struct Case {
        std::string name;
        std::string source;
        int status;
        std::string err;
    };
    std::filesystem::create_directories(dir_ / "folder.voice");
    const std::vector<Case> cases{
        {"errors on two lines", "@1 \"voices/brass.voice\"\nch1 @1 c3 d\nch2 C\n", 1,
         "bad.opm.qmml:2:9: error: 3 is not a note value: lengths are 1 2 4 8 16 32 64 (with "
         "dots), or %N rows, a whole note being 64 rows (a triplet eighth is %5 or %6)\n"
         "bad.opm.qmml:3:5: error: 'C' is unknown: notes and commands are lower case\n"
         "qzr: bad.opm.qmml: 2 errors; nothing written\n"},
        {"a voice file that is a directory", "@1 \"folder.voice\"\nch1 @1 c\n", 1,
         "bad.opm.qmml:1:1: error: voice file 'folder.voice' is a directory\n"
         "qzr: bad.opm.qmml: 1 error; nothing written\n"},
        {"a huge repeat", "@1 \"voices/brass.voice\"\nch1 @1 [[c]65535]65535\n", 1,
         "bad.opm.qmml:2:10: error: ch1 runs past the 49,151 rows an OPM song can play, in bar "
         "768; the music after it is left out\n"
         "qzr: bad.opm.qmml: 1 error; nothing written\n"},
    };
    WriteBytes(dir_ / "bad.opm.qzr", {1, 2, 3});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText(dir_ / "bad.opm.qmml", c.source);
        const auto before = Listing(dir_.Path());
        const ProgramRun result = Qzr({"build", "bad.opm.qmml"});
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(Listing(dir_.Path()), before);
        EXPECT_EQ(ReadBytes(dir_ / "bad.opm.qzr"), (Bytes{1, 2, 3}));
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"build", "missing.opm.qmml"},
          std::vector<std::string>{"build", "voices"},
          std::vector<std::string>{"build", "harbour_lights.opm.qmml", "-o",
                                   "harbour_lights.opm.qmml"},
          std::vector<std::string>{"build", "harbour_lights.opm.qmml", "-o", "voices"}}) {
        SCOPED_TRACE(args[1] + " " + args.back());
        const ProgramRun result = Qzr(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err, "");
    }
}

TEST_F(QzrBuild, LoweredSourcesCompileToTheSameSong) {
    // A slur: the classic form keys on again where the song file does not.
    std::string source = ReadText(dir_ / "harbour_lights.opm.qmml");
    const std::string melody = "ch1 a4. b8 >c e |";
    source.replace(source.find(melody), melody.size(), "ch1 a4.&b8 >c e |");
    WriteText(dir_ / "slur.opm.qmml", source);
    for (const std::string name : {"harbour_lights.opm.qmml", "harbour_lights.opn2.qmml"}) {
        SCOPED_TRACE(name);
        const ProgramRun lowered = Qzr({"lower", name, "-o", "classic"});
        EXPECT_EQ(lowered.status, 0) << lowered.err;
        EXPECT_EQ(lowered.err, "");
        const std::string classic = name.substr(0, name.size() - 5) + ".mml";
        const bool opm = name.find(".opm.") != std::string::npos;
        const ProgramRun compiled =
            RunProgram({ProgramPath(opm ? "opmcomp" : "opn2comp"), classic}, dir_ / "classic");
        EXPECT_EQ(compiled.status, 0) << compiled.err;
        EXPECT_EQ(ReadBytes(dir_ / "classic" / (classic + ".qzr")),
                  ReadBytes(SourcePath("tests/golden/" + classic + ".qzr")));
    }
    const ProgramRun slurred = Qzr({"lower", "slur.opm.qmml", "-o", "classic"});
    EXPECT_EQ(slurred.status, 0);
    EXPECT_EQ(slurred.err,
              "slur.opm.qmml:23:8: warning: the classic form cannot express a slur ('&'); 1 "
              "slurred note is written as legato, keying on again where the song file slurs\n");
    EXPECT_TRUE(std::filesystem::exists(dir_ / "classic/slur.opm.mml"));
}

TEST_F(QzrBuild, VoicesShowAsTextWriteAsBytesAndSoundOnOneNote) {
    const ProgramRun text = Qzr({"voice", "voices/bass.voice"});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out,
              "@1 {\n"
              "  ; CON FB\n"
              "      4  5\n"
              "  ;    AR D1R D2R  RR D1L  TL  KS MUL DT1 DT2 AMS-EN\n"
              "  M1:  31  12   4  10   4  28   0   1   0   0   0\n"
              "  M2:  31  10   4  10   4  36   0   2   0   0   0\n"
              "  C1:  31   6   2  10   1  12   0   1   0   0   0\n"
              "  C2:  31   6   2  10   1  14   0   1   0   0   0\n"
              "}\n");
    // The text form, saved and read back, is the same 25 bytes.
    WriteText(dir_ / "bass.qmml", text.out);
    EXPECT_EQ(Qzr({"voice", "bass.qmml", "-o", "again.voice"}).status, 0);
    EXPECT_EQ(ReadBytes(dir_ / "again.voice"), ReadBytes(dir_ / "voices/bass.voice"));
    // A song's voices by number.
    EXPECT_EQ(Qzr({"voice", "harbour_lights.opm.qmml", "--voice", "6", "-o", "tom.voice"}).status,
              0);
    EXPECT_EQ(ReadBytes(dir_ / "tom.voice"), ReadBytes(dir_ / "voices/tom.voice"));

    const ProgramRun heard =
        Qzr({"voice", "voices/epiano.voice", "--note", "o4c", "--seconds", "0.5", "-o", "ep.wav"});
    ASSERT_EQ(heard.status, 0) << heard.err;
    // Half a second held, then the two seconds of release every render ends with.
    const std::vector<std::int16_t> samples = DecodeSamples(dir_ / "ep.wav");
    EXPECT_EQ(samples.size(), static_cast<std::size_t>(2 * 44'100 * 5 / 2));
    EXPECT_TRUE(std::any_of(samples.begin(), samples.begin() + 44'100,
                            [](std::int16_t s) { return s > 1000; }));

    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"voice", "missing.voice"},
          std::vector<std::string>{"voice", "harbour_lights.opm.qmml", "-o", "x.voice"},
          std::vector<std::string>{"voice", "voices/bass.voice", "--note", "c [c]9", "-o", "x.wav"},
          std::vector<std::string>{"voice", "harbour_lights.opm.qmml", "--voice", "9"}}) {
        SCOPED_TRACE(args.back());
        const ProgramRun result = Qzr(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err, "");
        EXPECT_FALSE(std::filesystem::exists(dir_ / "x.voice"));
        EXPECT_FALSE(std::filesystem::exists(dir_ / "x.wav"));
    }
}

TEST_F(QzrBuild, CheckAndInfoTakeQmmlSources) {
    const ProgramRun clean = Qzr({"check", "harbour_lights.opn2.qmml"});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.err, "");
    WriteText(dir_ / "warn.qmml", "#chip opm\n#tempo 120\n@1 \"voices/bass.voice\"\nch1 @1 c\n");
    const ProgramRun warned = Qzr({"check", "warn.qmml"});
    EXPECT_EQ(warned.status, 1);
    EXPECT_EQ(warned.err,
              "warn.qmml:2:1: warning: #tempo 120 is not reached exactly: speed 6 plays 125 beats "
              "a minute\n");
    EXPECT_EQ(Qzr({"check", "missing.qmml"}).status, 2);

    // info of a source is info of the song it builds to.
    ASSERT_EQ(Qzr({"build", "harbour_lights.opm.qmml", "-o", "built.opm.qzr"}).status, 0);
    const ProgramRun ofSource = Qzr({"info", "harbour_lights.opm.qmml", "--rows", "0:40"});
    const ProgramRun ofSong = Qzr({"info", "built.opm.qzr", "--rows", "0:40"});
    ASSERT_EQ(ofSource.status, 0) << ofSource.err;
    auto body = [](const std::string& text) { return text.substr(text.find('\n')); };
    EXPECT_EQ(body(ofSource.out), body(ofSong.out));
}

}  // namespace
}  // namespace qzr::test
