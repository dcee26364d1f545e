// qzr check's cases that need POSIX: FIFOs (Windows has none in its file system).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "check_answers.h"
#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

// A voice naming a FIFO and a source in a FIFO (which cannot be read twice) each get an answer at
// once.
TEST(QzrCheck, FifosGetAnAnswer) {
    TempDir dir("qzr_check_fifo");
    ASSERT_EQ(mkfifo((dir / "voice.fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir / "source.opm.mml").c_str(), 0600), 0);
    WriteText(dir / "fifovoice.opm.mml",
              MakeSource("Fifo", 6, 16, SongKind::OPM, {"ch1", "c"}, "voice.fifo"));
    std::vector<std::string> voiceLines;
    for (int line = 5; line <= 19; line += 2) {
        voiceLines.push_back("fifovoice.opm.mml:" + std::to_string(line) +
                             ":1: warning: voice file 'voice.fifo' has 0 bytes, not 25; the "
                             "missing ones count as 0");
    }
    ExpectCheckAnswers(
        dir.Path(),
        {{"fifovoice.opm.mml", 1, voiceLines},
         {"source.opm.mml",
          2,
          {"qzr: cannot read source.opm.mml: is not a regular file, and a source is read "
           "twice"}}});
}

}  // namespace
}  // namespace qzr::test
