#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "qzr/common/call_by_name.h"
#include "qzr/doubles/recording_x68sound.h"
#include "qzr/test_support/song_bytes.h"
#include "qzr/test_support/temp_dir.h"

// The real player library, loaded by name from the folder of the recording emulator, so that
// the player finds the recorder when it looks for its emulator.
namespace qzr::test {

using doubles::EmulatorEntry;
using doubles::RecordedCall;

// "NAME.dll" in the recording emulator's folder, as the platform writes a whole path (on
// Windows with its drive and backslashes), the form in which CallByName takes a library.
std::string RecorderFolderLibrary(const std::string& name);
const std::string& PlayerLibrary();    // the copy of the real player
const std::string& RecorderLibrary();  // the recording emulator
// The platform's file of our library `base` in that folder (libBASE.so, BASE.dll), whole as
// above, as a host that loads a library itself names it.
std::filesystem::path RecorderFolderFile(const std::string& base);

template <typename... Args>
int Player(const char* entry, Args... args) {
    return CallByName(entry, PlayerLibrary().c_str(), args...);
}

template <typename... Args>
int Recorder(const char* entry, Args... args) {
    return CallByName(entry, RecorderLibrary().c_str(), args...);
}

inline int PlaySongFile(const std::filesystem::path& path, bool opn2 = false) {
    const std::string text = path.string();
    return Player(opn2 ? "PlaySong2" : "PlaySong", text.c_str());
}

// One register write: (register, value).
using Write = std::pair<int, int>;

std::vector<RecordedCall> RecordedCalls();

// The register writes among the calls, in order. A select without its data right after it, or
// data without a select, fails the test.
std::vector<Write> WritesIn(const std::vector<RecordedCall>& calls);

// Each call as (entry, first argument or -1), for whole-sequence comparisons.
using CallSummary = std::pair<EmulatorEntry, std::intptr_t>;
std::vector<CallSummary> Summarize(const std::vector<RecordedCall>& calls);

// Fires `ticks` ticks one by one and returns the numbers (1-based) of those that wrote anything.
std::vector<int> TicksThatWrite(int ticks);

// Fires ticks and returns the register writes they made.
std::vector<Write> WritesOfTicks(int ticks);

// The song a refused play must leave playing: eight rows at speed 1, a new note every row.
SongBytes EightRowSong();

// Plays `song` through its first two rows, then clears the record.
void PlayUpToRowTwo(const std::filesystem::path& song);

// What the next tick of EightRowSong writes after PlayUpToRowTwo: row 2's note.
extern const std::vector<Write> kRowTwoWrites;

// Started player over a clean record; songs are written into a fresh folder.
class RecordingPlayerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path WriteSong(const std::string& name,
                                    const std::vector<std::uint8_t>& bytes);

    TempDir dir_{"qzrplay"};
};

}  // namespace qzr::test
