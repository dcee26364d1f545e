// The player library's six exports, each recording its call instead of playing, plus entries for
// tests to read and clear the record and to choose the row GetSongPosition reports.
//
// The record is text, one call per line: the entry's name, then each argument, a path as the
// text it points to ("InitOPM 44100 200", "PlaySong /tmp/a.qzr", "StopSong").
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>

#if defined(_WIN32)
#define QZR_DOUBLE_API extern "C" __declspec(dllexport)
#else
#define QZR_DOUBLE_API extern "C" __attribute__((visibility("default")))
#endif

namespace {

struct Recording {
    std::mutex lock;
    std::string calls;
    int songPosition = 0;
};

Recording& TheRecording() {
    static Recording recording;
    return recording;
}

void Record(const std::string& call) {
    Recording& recording = TheRecording();
    const std::scoped_lock guard(recording.lock);
    recording.calls += call;
    recording.calls += '\n';
}

std::string PathText(std::intptr_t path) {
    const auto* text = reinterpret_cast<const char*>(path);
    return text != nullptr ? std::string(text) : std::string("(null)");
}

}  // namespace

QZR_DOUBLE_API int InitOPM(std::intptr_t sampleRate, std::intptr_t latencyMs) noexcept {
    Record("InitOPM " + std::to_string(sampleRate) + " " + std::to_string(latencyMs));
    return 0;
}

QZR_DOUBLE_API int ReleaseOPM() noexcept {
    Record("ReleaseOPM");
    return 0;
}

QZR_DOUBLE_API int PlaySong(std::intptr_t path) noexcept {
    Record("PlaySong " + PathText(path));
    return 0;
}

QZR_DOUBLE_API int PlaySong2(std::intptr_t path) noexcept {
    Record("PlaySong2 " + PathText(path));
    return 0;
}

QZR_DOUBLE_API int StopSong() noexcept {
    Record("StopSong");
    return 0;
}

QZR_DOUBLE_API int GetSongPosition() noexcept {
    Record("GetSongPosition");
    Recording& recording = TheRecording();
    const std::scoped_lock guard(recording.lock);
    return recording.songPosition;
}

// Copies as much of the record as fits into the buffer (no terminator) and returns the record's
// whole length in bytes, so a caller can ask with capacity 0 first.
QZR_DOUBLE_API int QzrRecording_Read(std::intptr_t buffer, std::intptr_t capacity) noexcept {
    Recording& recording = TheRecording();
    const std::scoped_lock guard(recording.lock);
    if (buffer != 0 && capacity > 0) {
        const std::size_t count =
            std::min(recording.calls.size(), static_cast<std::size_t>(capacity));
        std::memcpy(reinterpret_cast<char*>(buffer), recording.calls.data(), count);
    }
    return static_cast<int>(recording.calls.size());
}

// Returns 1, so a caller can tell this library answered from a missing one (0).
QZR_DOUBLE_API int QzrRecording_Clear() noexcept {
    Recording& recording = TheRecording();
    const std::scoped_lock guard(recording.lock);
    recording.calls.clear();
    recording.songPosition = 0;
    return 1;
}

QZR_DOUBLE_API int QzrRecording_SetSongPosition(std::intptr_t row) noexcept {
    Recording& recording = TheRecording();
    const std::scoped_lock guard(recording.lock);
    recording.songPosition = static_cast<int>(row);
    return 0;
}
