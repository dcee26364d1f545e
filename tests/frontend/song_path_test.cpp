// Which chosen paths the window refuses to hand to the player, and what it tells the user.
#include "qzr/frontend/song_path.h"

#include <gtest/gtest.h>

#include <QString>
#include <optional>
#include <string>

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/temp_dir.h"

namespace qzr::frontend {
namespace {

std::optional<std::string> Refusal(const std::string& path) {
    const auto message = RefusalFor(QString::fromStdString(path));
    if (!message) return std::nullopt;
    return message->toStdString();
}

TEST(RefusalFor, TooLongPathsShowTheirFirstEightyBytesWithoutSplittingACharacter) {
    const std::string ascii = "/" + std::string(2047, 'a');
    // A two-byte character straddles bytes 80 and 81, so the shown part stops before it.
    const std::string straddling = "/" + std::string(78, 'b') + "\xC3\xA9" + std::string(2000, 'c');
    const std::string prefix = "The path is too long to play: ";
    struct Case {
        std::string path;
        std::string expected;
    };
    for (const auto& [path, expected] : {
             Case{ascii, prefix + ascii.substr(0, 80) + "..."},
             Case{straddling, prefix + straddling.substr(0, 79) + "..."},
         }) {
        SCOPED_TRACE(path.substr(0, 90));
        EXPECT_EQ(Refusal(path), expected);
    }
}

TEST(RefusalFor, OnlyAFileThatOpensForReadingIsPlayable) {
    const qzr::test::TempDir dir;
    const std::string song = (dir / "song.qzr").string();
    qzr::test::WriteText(song, "rows");
    const std::string missing = (dir / "missing.qzr").string();
    const std::string folder = dir.Path().string();
    const std::string withNul = song + std::string(1, '\0') + "tail";

    EXPECT_EQ(Refusal(song), std::nullopt);
    EXPECT_EQ(Refusal(missing), "Can't open file " + missing);
    EXPECT_EQ(Refusal(folder), "Can't open file " + folder);
    // The player would read the path only up to the zero byte: a different file.
    EXPECT_NE(Refusal(withNul), std::nullopt);
}

}  // namespace
}  // namespace qzr::frontend
