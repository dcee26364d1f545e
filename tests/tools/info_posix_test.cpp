// qzr info's cases that need POSIX: an address-space limit (the shell's ulimit).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/song_bytes.h"
#include "qzr/test_support/temp_dir.h"
#include "song_fixture.h"

namespace qzr::test {
namespace {

// A 2 GiB song file (sparse) is read no further than its layout reaches: qzr info answers in an
// address space far smaller than the file, where reading it whole cannot even start. (The limit
// on the address space is the shell's ulimit.)
TEST(QzrInfo, AHugeFileIsReadOnlyAsFarAsItsLayoutReaches) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer needs more address space than the limit leaves";
#endif
    TempDir dir("qzr_info_huge");
    const auto path = dir / "huge.opm.qzr";
    WriteBytes(path, SongBytes{kOPMTarget}.Speed(6).RowCount(16).Rows(16).Get());
    std::filesystem::resize_file(path, std::uintmax_t{1} << 31);
    const std::string command = "cd '" + dir.Path().string() + "' && (ulimit -v 800000; '" +
                                QzrPath() + "' info huge.opm.qzr --rows 0:0) > out.txt 2>&1";
    const int raw = std::system(command.c_str());
    const std::string out = ReadText(dir / "out.txt");
    ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << out;
    EXPECT_NE(out.find("note      the file goes on after row 65535"), std::string::npos) << out;
}

}  // namespace
}  // namespace qzr::test
