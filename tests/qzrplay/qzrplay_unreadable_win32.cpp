// A song the player cannot read on Windows: a file another program holds open without sharing it
// (permissions of none only make a file read-only there).
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <filesystem>
#include <memory>
#include <type_traits>

#include "recording_player.h"

namespace qzr::test {
namespace {

using RecordingPlayer = RecordingPlayerTest;

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// The file opened for reading with no sharing, so no other open of it succeeds while held.
Handle HoldUnshared(const std::filesystem::path& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    return Handle{file == INVALID_HANDLE_VALUE ? nullptr : file};
}

TEST_F(RecordingPlayer, SongHeldUnsharedByAnotherProgramIsRefusedAndTheSongPlayingGoesOn) {
    const SongBytes playing = EightRowSong();
    const auto locked = WriteSong("locked.qzr", playing.Get());
    const Handle held = HoldUnshared(locked);
    ASSERT_NE(held, nullptr) << "Windows error " << GetLastError();

    for (const bool opn2 : {false, true}) {
        SCOPED_TRACE(opn2 ? "PlaySong2" : "PlaySong");
        PlayUpToRowTwo(WriteSong("playing.qzr", playing.Get()));
        testing::internal::CaptureStderr();
        EXPECT_EQ(PlaySongFile(locked, opn2), 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "Can't open file " + locked.string() + "\n");
        EXPECT_EQ(Recorder("RecorderCount"), 0);
        EXPECT_EQ(Player("GetSongPosition"), 2);
        EXPECT_EQ(WritesOfTicks(1), kRowTwoWrites);
    }
}

}  // namespace
}  // namespace qzr::test
