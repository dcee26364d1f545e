// A song the player cannot read, made where the tests may run as root: a file of no permissions,
// tried by a child that gives up root first.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "recording_player.h"

namespace qzr::test {
namespace {

using RecordingPlayer = RecordingPlayerTest;

// As root every file can be read; the child that tries the unreadable song gives up root
// first, so the player's own open really fails. The song already playing must go on.
TEST_F(RecordingPlayer, UnreadableSongIsRefusedEvenWhereTheTestsRunAsRoot) {
    const SongBytes playing = EightRowSong();
    const auto locked = WriteSong("locked.qzr", playing.Get());
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    std::filesystem::permissions(dir_.Path(), std::filesystem::perms::all);
    PlayUpToRowTwo(WriteSong("playing.qzr", playing.Get()));

    const auto tryLocked = [&](bool opn2) {
        if (::geteuid() == 0 &&
            (::setresgid(65534, 65534, 65534) != 0 || ::setresuid(65534, 65534, 65534) != 0)) {
            std::exit(3);
        }
        if (::access(locked.c_str(), R_OK) == 0) std::exit(4);
        const bool refused = PlaySongFile(locked, opn2) == 0 && Recorder("RecorderCount") == 0 &&
                             Player("GetSongPosition") == 2 && WritesOfTicks(1) == kRowTwoWrites;
        std::exit(refused ? 0 : 1);
    };
    const std::string message = "Can't open file " + locked.string();
    EXPECT_EXIT(tryLocked(false), testing::ExitedWithCode(0), message);
    EXPECT_EXIT(tryLocked(true), testing::ExitedWithCode(0), message);
}

}  // namespace
}  // namespace qzr::test
