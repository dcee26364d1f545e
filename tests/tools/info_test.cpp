#include <gtest/gtest.h>

#include "child_process.h"
#include "golden.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

using tools::Chip;

TEST(QzrInfo, TinySongsMatchTheirGoldenText) {
    TempDir dir("qzr_info");
    std::filesystem::copy(SourcePath("examples/voices"), dir / "voices");
    struct Case {
        Chip chip;
        std::string name;
        std::vector<std::string> body;
        std::vector<std::string> extraArgs;
    };
    const std::vector<Case> cases{
        {Chip::OPM,
         "duet.opm.mml",
         {"ch1", "o4", "l16", "c", "e", "legato on", "g", "o+", "c8", "legato off", "r8", "ch2",
          "o2", "a4", "r4", "a8", "a8"},
         {}},
        {Chip::OPN2, "duet.opn2.mml", {"ch6", "o7", "b32", "o0", "c+32"}, {"--rows", "2:5"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CompileInto(dir.Path(), c.name,
                    MakeSource("Duet", c.chip == Chip::OPM ? 3 : 1, 64, c.chip, c.body,
                               "voices/epiano.voice"),
                    c.chip);
        std::vector<std::string> args{QzrPath(), "info", c.name + ".qzr"};
        args.insert(args.end(), c.extraArgs.begin(), c.extraArgs.end());
        const ProgramResult result = RunProgram(args, dir.Path());
        ASSERT_EQ(result.status, 0) << result.err;
        ExpectGolden(result.out, c.name + ".info.txt");
    }
}

}  // namespace
}  // namespace qzr::test
