// The player library as a host uses it: starting the emulator, loading songs of both kinds and
// refusing files it cannot open.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>

#include "qzr/test_support/library_handle.h"
#include "qzr/test_support/song_bytes.h"
#include "qzr/test_support/song_image_cases.h"
#include "recording_player.h"

namespace qzr::test {
namespace {

using namespace std::chrono_literals;

std::int64_t NowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Reset, volume, then per voice its control byte and its 24 operator bytes, then the hand-over.
std::vector<CallSummary> ExpectedLoadCalls(const SongTarget& target) {
    std::vector<CallSummary> calls{{EmulatorEntry::Reset, -1}, {EmulatorEntry::TotalVolume, 1200}};
    const auto write = [&](int reg, int value) {
        calls.emplace_back(EmulatorEntry::OpmReg, reg);
        calls.emplace_back(EmulatorEntry::OpmPoke, value);
    };
    for (int v = 0; v < target.VoiceCount(); ++v) {
        const VoiceRecordBytes voice = DistinctVoice(v);
        write(0x20 + v, voice[static_cast<std::size_t>(target.controlByteIndex)]);
        for (int j = 0; j < 24; ++j) write(0x40 + 8 * j + v, voice[static_cast<std::size_t>(j)]);
    }
    return calls;
}

using RecordingPlayer = RecordingPlayerTest;

TEST_F(RecordingPlayer, InitOPMStartsTheEmulatorThenWaits) {
    EXPECT_EQ(Player("InitOPM", 22050, 150), 0);
    const std::int64_t returned = NowNanos();
    const auto calls = RecordedCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].entry, EmulatorEntry::Start);
    EXPECT_EQ(std::vector<std::intptr_t>(calls[0].args, calls[0].args + calls[0].argCount),
              (std::vector<std::intptr_t>{22050, 1, 0, 5, 5, 150, 1}));
    EXPECT_GE(returned - calls[0].nanos, std::chrono::nanoseconds(2ms).count());
}

TEST_F(RecordingPlayer, ReleaseOPMFreesTheEmulator) {
    EXPECT_EQ(Player("ReleaseOPM"), 0);
    EXPECT_EQ(Summarize(RecordedCalls()), (std::vector<CallSummary>{{EmulatorEntry::Free, -1}}));
}

TEST_F(RecordingPlayer, PlaySongProgramsVoicesAndHandsOverTheTickLast) {
    struct Case {
        const SongTarget& target;
        bool opn2;
        std::size_t unusedFrom, unusedTo;  // bytes between the voices and the speed
    };
    for (const auto& [target, opn2, unusedFrom, unusedTo] :
         {Case{kOPMTarget, false, 240, 269}, Case{kOPN2Target, true, 192, 213}}) {
        SCOPED_TRACE(opn2 ? "OPN2" : "OPM");
        SongBytes song{target};
        song.DistinctVoices().Speed(4).RowCount(2).Rows(2);
        for (std::size_t at = unusedFrom; at < unusedTo; ++at) song.At(at, 0xDD);
        Recorder("RecorderClear");
        EXPECT_EQ(PlaySongFile(WriteSong("voices.qzr", song.Get()), opn2), 0);

        auto calls = RecordedCalls();
        ASSERT_FALSE(calls.empty());
        const RecordedCall handOver = calls.back();
        calls.pop_back();
        EXPECT_EQ(handOver.entry, EmulatorEntry::BetwInt);
        EXPECT_NE(handOver.args[0], 0);
        EXPECT_EQ(Summarize(calls), ExpectedLoadCalls(target));
        EXPECT_GE(handOver.nanos - calls.back().nanos, std::chrono::nanoseconds(15ms).count());
    }
}

// What a header says shows in when the song wraps: a row every `speed` ticks (OPN2: 3 x speed),
// and position back to 0 after rowCount rows.
TEST_F(RecordingPlayer, HeaderValuesFollowEachLayoutsByteOrderAndShortFileRules) {
    Recorder("RecorderSetRecording", 0);
    for (const auto& c : SongImageCases()) {
        SCOPED_TRACE(c.name);
        const bool opn2 = c.kind == SongKind::OPN2;
        PlaySongFile(WriteSong("header.qzr", c.song.Get()), opn2);
        const int ticksPerRow = c.speed * (opn2 ? 3 : 1);
        Recorder("RecorderFireTicks", ticksPerRow - 1);
        EXPECT_EQ(Player("GetSongPosition"), 0);
        Recorder("RecorderFireTick");
        // A song without rows never moves.
        EXPECT_EQ(Player("GetSongPosition"), c.rowCount == 0 ? 0 : 1);
        if (!c.wrapChecked || c.rowCount == 0) continue;
        Recorder("RecorderFireTicks", ticksPerRow * (c.rowCount - 2));
        EXPECT_EQ(Player("GetSongPosition"), c.rowCount - 1);
        Recorder("RecorderFireTicks", ticksPerRow);
        EXPECT_EQ(Player("GetSongPosition"), 0);
    }
}

// A whole path as the system writes it (on Windows its drive and backslashes) and with forward
// slashes (on Windows the same file as "C:/..."): the song loads either way.
TEST_F(RecordingPlayer, SongPathLoadsWithTheSystemsSeparatorsOrForwardSlashes) {
    for (const auto& [target, opn2] : {std::pair{&kOPMTarget, false}, {&kOPN2Target, true}}) {
        SongBytes song{*target};
        song.DistinctVoices().Speed(1).RowCount(1).Event(0, 0, 1, 1);
        const auto path = WriteSong("song.qzr", song.Get());
        const std::vector<CallSummary> expected = ExpectedLoadCalls(*target);
        for (const std::string& spelling : {path.string(), path.generic_string()}) {
            SCOPED_TRACE(spelling + (opn2 ? " PlaySong2" : " PlaySong"));
            Recorder("RecorderClear");
            EXPECT_EQ(Player(opn2 ? "PlaySong2" : "PlaySong", spelling.c_str()), 0);
            auto calls = Summarize(RecordedCalls());
            ASSERT_FALSE(calls.empty());
            EXPECT_EQ(calls.back().first, EmulatorEntry::BetwInt);
            calls.pop_back();
            EXPECT_EQ(calls, expected);
        }
    }
}

TEST_F(RecordingPlayer, UnopenableSongChangesNothingAndTheSongPlayingGoesOn) {
    const SongBytes playing = EightRowSong();
    const auto folder = dir_ / "folder.qzr";
    std::filesystem::create_directory(folder);
    const auto locked = WriteSong("locked.qzr", playing.Get());
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    // As root, or on Windows (where it is only read-only), it is.
    const bool lockedIsReadable = std::ifstream(locked).is_open();

    for (const auto& path : {dir_ / "missing.qzr", folder, locked}) {
        if (path == locked && lockedIsReadable) continue;
        for (const bool opn2 : {false, true}) {
            SCOPED_TRACE(path.string() + (opn2 ? " PlaySong2" : " PlaySong"));
            PlayUpToRowTwo(WriteSong("playing.qzr", playing.Get()));

            testing::internal::CaptureStderr();
            EXPECT_EQ(PlaySongFile(path, opn2), 0);
            EXPECT_EQ(testing::internal::GetCapturedStderr(),
                      "Can't open file " + path.string() + "\n");
            EXPECT_EQ(Recorder("RecorderCount"), 0);
            EXPECT_EQ(Player("GetSongPosition"), 2);
            EXPECT_EQ(WritesOfTicks(1), kRowTwoWrites);
        }
    }
}

TEST_F(RecordingPlayer, RowsMissingAtTheEndOfTheFilePlayNothing) {
    SongBytes song{kOPMTarget};
    song.Speed(1).RowCount(4).Event(0, 0, 13, 1).Event(1, 0, 0, 2);  // rows 2 and 3 absent
    PlaySongFile(WriteSong("short.qzr", song.Get()));
    EXPECT_EQ(WritesOfTicks(4), (std::vector<Write>{{0x28, 0x10}, {8, 0}, {8, 0x78}, {8, 0}}));
    EXPECT_EQ(Player("GetSongPosition"), 0);
}

// A child process, so that its narrowed library search (on Windows the program's folder holds the
// build's real emulator) ends with it.
TEST(QzrplayAlone, WithoutAnEmulatorEveryOperationGivesZero) {
    const auto emulator = BuiltLibrary("x68sound").filename();
    if (LibraryHandle::InProcess(emulator)) {
        GTEST_SKIP() << "an emulator library is already in this process";
    }
    // A copy of the player in a folder with no emulator beside it or in ../lib.
    TempDir dir{"alone"};
    std::filesystem::create_directory(dir / "bin");
    const auto built = BuiltLibrary("qzrplay");
    std::filesystem::copy_file(built, dir / "bin" / built.filename());
    const std::string player = (dir / "bin" / "qzrplay.dll").string();
    const std::string song = (dir / "song.qzr").string();
    SongBytes{kOPMTarget}.Speed(1).RowCount(1).Event(0, 0, 1, 1).WriteTo(song);

    const auto playAlone = [&] {
        if (!LibraryHandle::KeepProgramFolderOutOfTheSearch()) std::_Exit(100);
        const std::pair<const char*, int> results[] = {
            {"GetSongPosition", CallByName("GetSongPosition", player.c_str())},
            {"InitOPM", CallByName("InitOPM", player.c_str(), 44100, 200)},
            {"PlaySong", CallByName("PlaySong", player.c_str(), song.c_str())},
            {"GetSongPosition", CallByName("GetSongPosition", player.c_str())},
            {"StopSong", CallByName("StopSong", player.c_str())},
            {"ReleaseOPM", CallByName("ReleaseOPM", player.c_str())},
            {"an emulator loaded", LibraryHandle::InProcess(emulator) ? 1 : 0},
        };
        int wrong = 0;
        for (const auto& [what, result] : results) {
            if (result == 0) continue;
            std::fprintf(stderr, "%s: %d\n", what, result);
            ++wrong;
        }
        std::exit(wrong);
    };
    EXPECT_EXIT(playAlone(), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace qzr::test
