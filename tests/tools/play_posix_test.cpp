// qzr play's cases that need POSIX: FIFOs (Windows has none in its file system).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "play_fixture.h"
#include "qzr/test_support/program_run.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

using namespace std::chrono_literals;

// A FIFO saved in place of the watched source is refused at once: nothing waits for a writer,
// the old song plays on and Ctrl-C still stops it.
TEST_F(QzrWatch, AFifoInPlaceOfTheSourceIsRefusedWithoutWaiting) {
    ChildProcess child(
        {QzrPath(), "play", std::string(kSource) + ".qzr", "--watch", kSource, "--seconds", "30"},
        dir_.Path());
    ASSERT_TRUE(ShowsItPlays(child)) << child.Out();
    std::filesystem::remove(dir_ / kSource);
    ASSERT_EQ(mkfifo((dir_ / kSource).c_str(), 0600), 0);
    ASSERT_TRUE(child.WaitFor(
        [](const std::string&, const std::string& err) {
            return Contains(err, "it is not a regular file); the old song plays on");
        },
        10s))
        << child.Err();
    const int rowsSoFar = StatusRows(child.Out()).back();
    EXPECT_TRUE(
        child.WaitFor([rowsSoFar](const std::string& o,
                                  const std::string&) { return StatusRows(o).back() > rowsSoFar; },
                      10s));
    child.Interrupt();
    EXPECT_EQ(child.Wait(), 130);
}

}  // namespace
}  // namespace qzr::test
