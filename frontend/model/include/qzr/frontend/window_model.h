#pragma once

// What the player window is, whatever toolkit draws it: its texts, controls, places, start values,
// the rules for a chosen path and the centring arithmetic. The Qt window (Linux) and the Win32
// window (Windows) both build from here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qzr::frontend {

inline constexpr char kCaption[] = "QZRPlayer";

// The player is started with these when the window opens.
inline constexpr int kSampleRate = 44100;
inline constexpr int kOutputLatencyMs = 200;

// The identifiers the buttons report when pressed.
inline constexpr int kPlayOPMId = 100;
inline constexpr int kPlayOPN2Id = 200;
inline constexpr int kStopId = 300;

// A place in layout units (two pixels each where the platform does not say otherwise).
struct ControlPlace {
    int x;
    int y;
    int width;
    int height;
};

struct ButtonSpec {
    const char* text;
    int controlId;
    ControlPlace place;
    const char* description;
};

// Creation order is also the Tab order.
inline constexpr std::array<ButtonSpec, 3> kButtons{{
    {"Play Song(OPM)",
     kPlayOPMId,
     {20, 20, 50, 20},
     "Choose a song file and play it on the YM2151 (OPM)"},
    {"Play Song(OPN2)",
     kPlayOPN2Id,
     {20, 50, 50, 20},
     "Choose a song file written for the YM2612 (OPN2) and play it"},
    {"Stop", kStopId, {80, 20, 50, 20}, "Stop the song that is playing"},
}};

// The status line below the buttons, and the client area that holds them all.
inline constexpr ControlPlace kStatusPlace{20, 74, 110, 10};
inline constexpr ControlPlace kClientArea{0, 0, 140, 88};

// The window's grey, 0xRRGGBB.
inline constexpr std::uint32_t kBackgroundRgb = 0xE4E4E4;

// Song files in the open-file dialog; each toolkit writes the pair its own way.
inline constexpr char kSongFilesDescription[] = "QZR Music Files";
inline constexpr char kSongFilesPattern[] = "*.qzr";

// How often the status line asks the player for the row it plays.
inline constexpr int kStatusRefreshMs = 100;

// The status line's texts.
inline constexpr char kReadyStatus[] = "Ready";
inline constexpr char kStoppedStatus[] = "Stopped";
// "Playing NAME"; when the line is too narrow, this part gives way in the middle.
std::string PlayingStatusHead(std::string_view fileName);
// ", row N", always shown whole.
std::string PlayingStatusTail(int row);

// The player is handed the path in a buffer of this many bytes, terminator included.
inline constexpr std::size_t kPathBufferSize = 2048;
inline constexpr std::size_t kMaxPathBytes = kPathBufferSize - 1;
// How much of a too long path its message shows, at most.
inline constexpr std::size_t kShownPrefixBytes = 80;

// The messages that tell the user why a chosen path is not played: too long for the buffer
// (with the first bytes of it, cut at a character boundary by the caller), or not a file that
// opens for reading (the player library could not tell a window so).
std::string TooLongPathMessage(std::string_view shownPrefix);
std::string CannotOpenMessage(std::string_view path);

struct Point {
    int x;
    int y;
    bool operator==(const Point&) const = default;
};

// Top-left corner that centres something of width x height in the area; each half is truncated
// toward zero, so a window larger than the area overhangs both sides by the same amount or one
// pixel less.
Point CentredTopLeft(int areaLeft, int areaTop, int areaWidth, int areaHeight, int width,
                     int height);

}  // namespace qzr::frontend
