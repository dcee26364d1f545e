#include "recording_player.h"

#include "qzr/test_support/file_bytes.h"
#include "qzr/test_support/library_handle.h"

namespace qzr::test {

namespace {

std::filesystem::path InRecorderFolder(const std::filesystem::path& name) {
    return std::filesystem::absolute(std::filesystem::path(QZR_RECORDER_DIR) / name)
        .make_preferred();
}

}  // namespace

std::string RecorderFolderLibrary(const std::string& name) {
    return InRecorderFolder(name).string();
}

std::filesystem::path RecorderFolderFile(const std::string& base) {
    return InRecorderFolder(BuiltLibrary(base).filename());
}

const std::string& PlayerLibrary() {
    static const std::string library = RecorderFolderLibrary("qzrplay.dll");
    return library;
}

const std::string& RecorderLibrary() {
    static const std::string library = RecorderFolderLibrary(doubles::kRecorderLibrary);
    return library;
}

std::vector<RecordedCall> RecordedCalls() {
    std::vector<RecordedCall> calls(static_cast<std::size_t>(Recorder("RecorderCount")));
    calls.resize(static_cast<std::size_t>(
        Recorder("RecorderRead", calls.data(), static_cast<std::intptr_t>(calls.size()))));
    return calls;
}

std::vector<Write> WritesIn(const std::vector<RecordedCall>& calls) {
    std::vector<Write> writes;
    for (std::size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].entry == EmulatorEntry::OpmPoke) {
            ADD_FAILURE() << "data without a select at call " << i;
        }
        if (calls[i].entry != EmulatorEntry::OpmReg) continue;
        if (i + 1 == calls.size() || calls[i + 1].entry != EmulatorEntry::OpmPoke) {
            ADD_FAILURE() << "select without its data at call " << i;
            continue;
        }
        writes.emplace_back(static_cast<int>(calls[i].args[0]),
                            static_cast<int>(calls[i + 1].args[0]));
        ++i;
    }
    return writes;
}

std::vector<CallSummary> Summarize(const std::vector<RecordedCall>& calls) {
    std::vector<CallSummary> summary;
    for (const RecordedCall& call : calls) {
        summary.emplace_back(call.entry, call.argCount > 0 ? call.args[0] : -1);
    }
    return summary;
}

std::vector<int> TicksThatWrite(int ticks) {
    std::vector<int> writing;
    for (int tick = 1; tick <= ticks; ++tick) {
        const int before = Recorder("RecorderCount");
        EXPECT_EQ(Recorder("RecorderFireTick"), 1);
        if (Recorder("RecorderCount") != before) writing.push_back(tick);
    }
    return writing;
}

std::vector<Write> WritesOfTicks(int ticks) {
    Recorder("RecorderClear");
    EXPECT_EQ(Recorder("RecorderFireTicks", ticks), ticks);
    return WritesIn(RecordedCalls());
}

SongBytes EightRowSong() {
    SongBytes song{kOPMTarget};
    song.Speed(1).RowCount(8);
    for (int row = 0; row < 8; ++row) song.Event(row, 0, static_cast<std::uint8_t>(row + 1), 1);
    return song;
}

void PlayUpToRowTwo(const std::filesystem::path& song) {
    PlaySongFile(song);
    Recorder("RecorderFireTicks", 2);
    Recorder("RecorderClear");
}

const std::vector<Write> kRowTwoWrites{{0x28, 0x02}, {8, 0}, {8, 0x78}};

void RecordingPlayerTest::SetUp() {
    Player("InitOPM", 44100, 200);
    Player("StopSong");
    Recorder("RecorderSetFireOnCall", 0);
    Recorder("RecorderSetRecording", 1);
    Recorder("RecorderClear");
}

void RecordingPlayerTest::TearDown() {
    Recorder("RecorderSetFireOnCall", 0);
    Player("StopSong");
}

std::filesystem::path RecordingPlayerTest::WriteSong(const std::string& name,
                                                     const std::vector<std::uint8_t>& bytes) {
    const auto path = dir_ / name;
    WriteBytes(path, bytes);
    return path;
}

}  // namespace qzr::test
