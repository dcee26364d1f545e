// Random qmml sources, lowered to classic sources and compiled by the real opmcomp and opn2comp,
// give the song file that the qmml compiler writes; with slurs, the files differ exactly in the
// key bytes of the slurred notes' first rows.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "compiler_test_support.h"
#include "qzr/compiler/qmml_compile.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"

namespace qzr::test {
namespace {

class SourceMaker {
public:
    SourceMaker(std::uint32_t seed, const SongTarget& target, bool slurs)
        : random_(seed), target_(target), slurs_(slurs) {}

    std::string Make() {
        std::string text = "; random source\n#title r" + std::to_string(Pick(1000)) + "\n";
        if (Pick(2) == 0) {
            text += "#tempo " + std::to_string(60 + Pick(140)) + "\n";
        } else {
            text += "#speed " + std::to_string(1 + Pick(12)) + "\n";
        }
        if (Pick(3) == 0) text += "#rows " + std::to_string(256 + Pick(2000)) + "\n";
        if (Pick(2) == 0) text += "#bar " + std::to_string(16 * (2 + Pick(4))) + "\n";
        text += "@1 \"plain.voice\"\n@2 \"voices/odd.voice\"\n";
        text += "@3 {\n 4 " + std::to_string(Pick(8)) + "\n";
        for (const char* op : {"C2", "M1", "C1", "M2"}) {
            text += std::string(" ") + op + ": " + std::to_string(Pick(32)) + " 5 0 " +
                    std::to_string(Pick(16)) + " 2 " + std::to_string(Pick(128)) + " 1 " +
                    std::to_string(Pick(16)) + " 3 1 " + std::to_string(Pick(2)) + "\n";
        }
        text += "}\n";
        const int macros = Pick(4);
        // A macro uses only macros after it, so there is no cycle.
        for (int m = 0; m < macros; ++m) {
            text += "!m" + std::to_string(m) + " = " + Music(2, m + 1, macros) + "\n";
        }
        for (int c = 0; c < target_.channelCount; ++c) {
            if (Pick(4) == 0) continue;
            static const char* kPans[] = {"", " pan LR", " pan L", " pan R", " pan off"};
            text += "ch" + std::to_string(c + 1) + " @" + std::to_string(1 + Pick(3)) +
                    kPans[Pick(5)] + "\n";
        }
        const int lines = 1 + Pick(10);
        for (int l = 0; l < lines; ++l) {
            text += "ch" + std::to_string(1 + Pick(target_.channelCount));
            if (Pick(4) == 0) text += "," + std::to_string(1 + Pick(target_.channelCount));
            text += " " + Music(3, 0, macros) + "\n";
        }
        return text;
    }

private:
    int Pick(int n) { return static_cast<int>(random_() % static_cast<std::uint32_t>(n)); }

    std::string Length() {
        static const char* kLengths[] = {"",   "",   "4",  "8",   "8.",   "16",  "2",   "1",
                                         "64", "32", "%3", "%13", "4+16", "2..", "%100"};
        return kLengths[Pick(15)];
    }

    std::string Note() {
        static const char* kNotes[] = {"c", "d", "e", "f", "g", "a", "b", "c+", "e-", "f=", "b-"};
        return kNotes[Pick(11)] + Length();
    }

    // Items at one level; `depth` more levels of brackets may open inside.
    std::string Music(int depth, int firstMacro, int macros) {
        std::string text;
        const int items = 1 + Pick(10);
        for (int i = 0; i < items; ++i) {
            const int pick = Pick(100);
            if (pick < 40) {
                text += Note();
                if (Pick(8) == 0) text += "^" + Length();
                if (slurs_ && Pick(5) == 0) text += "&" + Note();
            } else if (pick < 50) {
                text += "r" + Length();
            } else if (pick < 57) {
                text += "o" + std::to_string(2 + Pick(4));
            } else if (pick < 60) {
                text += Pick(2) == 0 ? "> c <" : "< c >";
            } else if (pick < 65) {
                text += "l" + std::string(Pick(2) == 0 ? "8" : "%" + std::to_string(1 + Pick(20)));
            } else if (pick < 68) {
                text += Pick(2) == 0 ? "legato on" : "legato off";
            } else if (pick < 71) {
                text += "k" + std::to_string(Pick(11) - 5);
            } else if (pick < 73) {
                text += Pick(2) == 0 ? "_{+fc}" : "_{-be}";
            } else if (pick < 78) {
                text += "|";
            } else if (pick < 88 && depth > 0) {
                text += "[" + Music(depth - 1, firstMacro, macros);
                if (Pick(3) == 0) text += " / " + Music(depth - 1, firstMacro, macros);
                text += "]" + (Pick(2) == 0 ? std::string() : std::to_string(1 + Pick(4)));
            } else if (firstMacro < macros) {
                text += "!m" + std::to_string(firstMacro + Pick(macros - firstMacro));
            } else {
                text += Note();
            }
            text += Pick(3) == 0 ? "" : " ";
        }
        return text;
    }

    std::mt19937 random_;
    const SongTarget& target_;
    bool slurs_;
};

struct Lowered {
    Bytes song;
    std::set<std::size_t> slurKeyBytes;  // where the slurred notes' first rows hold key on
};

// Writes the lowered source into `folder`, compiles it with the real program there, and finds
// (with the classic compiler's own line reports) the key bytes of the slurred notes.
Lowered LowerAndCompile(const qmml::Result& result, const std::filesystem::path& folder,
                        const std::string& name) {
    const qmml::ClassicFiles files = qmml::WriteClassicFiles(result.classic, folder, name);
    EXPECT_TRUE(files.ok) << files.failed;
    const bool opn2 = result.classic.kind == SongKind::OPN2;
    const ProgramRun run = RunProgram(opn2 ? "opn2comp" : "opmcomp", name, folder);
    EXPECT_EQ(run.status, 0) << run.err;
    Lowered lowered{ReadBytes(folder / (name + ".qzr")), {}};

    const SongTarget& target = TargetFor(result.classic.kind);
    const int firstBody = target.FirstBodyLine();
    const Bytes text = ReadBytes(folder / name);
    CompileSource(text, target, folder, [&](const BodyLineReport& report) {
        const auto index = static_cast<std::size_t>(report.lineNumber - firstBody);
        if (index < result.classic.body.size() && result.classic.body[index].slur &&
            report.writes.size() >= 2 && lowered.song.at(report.writes[1].offset) == 1) {
            lowered.slurKeyBytes.insert(report.writes[1].offset);
        }
    });
    return lowered;
}

void CheckRandomSources(bool slurs) {
    CompilerFolder folder;
    std::filesystem::create_directories(folder.Path() / "voices");
    Bytes odd = PlainVoice();
    odd[24] = 0x23;
    folder.WriteVoice("voices/odd.voice", odd);
    constexpr int kSourcesEach = 30;
    int slurred = 0;
    for (const SongTarget& target : {kOPMTarget, kOPN2Target}) {
        const std::string name = target.channelCount == 8 ? "r.opm.qmml" : "r.opn2.qmml";
        int compared = 0;
        for (std::uint32_t seed = 1; compared < kSourcesEach; ++seed) {
            ASSERT_LT(seed, 1000u) << "the generator makes too few sources that compile";
            const std::string source = SourceMaker(seed, target, slurs).Make();
            const qmml::Result built = folder.CompileQmml(source, name);
            // Notes out of range (octaves drifting in repeats) make some sources errors.
            if (!built.Ok()) continue;
            SCOPED_TRACE(name + " seed " + std::to_string(seed) + ":\n" + source);
            ++compared;
            TempDir out("qmml_lowered");
            const Lowered lowered = LowerAndCompile(built, out.Path(), "lowered.mml");
            ASSERT_EQ(built.song.size(), lowered.song.size());
            std::set<std::size_t> differing;
            for (std::size_t i = 0; i < built.song.size(); ++i) {
                if (built.song[i] != lowered.song[i]) differing.insert(i);
            }
            EXPECT_EQ(differing, lowered.slurKeyBytes);
            for (const std::size_t at : differing) EXPECT_EQ(built.song[at], 0) << at;
            if (!slurs) {
                EXPECT_EQ(built.slurs, 0);
            }
            slurred += static_cast<int>(lowered.slurKeyBytes.size());
        }
    }
    // The sources with '&' do slur, or the comparison above proves nothing.
    if (slurs) {
        EXPECT_GT(slurred, 20);
    }
}

TEST(QmmlProperty, LoweredSourcesCompileToTheSameSong) { CheckRandomSources(false); }

TEST(QmmlProperty, SlursDifferOnlyInTheirFirstKeyBytes) { CheckRandomSources(true); }

}  // namespace
}  // namespace qzr::test
