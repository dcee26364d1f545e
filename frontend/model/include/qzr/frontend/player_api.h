#pragma once

#include <functional>
#include <string>

namespace qzr::frontend {

// The six operations of the player library, as the window calls them. Results are what the
// player returned; the window never acts on them, because a missing library yields 0 and must
// behave like a working one. Called on the GUI thread only.
struct PlayerApi {
    std::function<int(int sampleRate, int latencyMs)> initOPM;
    std::function<int(const char* path)> playSong;   // an OPM song file
    std::function<int(const char* path)> playSong2;  // an OPN2 song file
    std::function<int()> stopSong;
    std::function<int()> releaseOPM;
    std::function<int()> getSongPosition;  // the next row to play, 0 to 65535
};

// Binds every operation to CallByName on the library of that file name, resolved afresh at each
// call ("NAME.dll" means the platform's shared library for NAME). When the library or an entry
// is missing, the call does nothing and returns 0.
PlayerApi BindPlayerByName(std::string libraryName = "qzrplay.dll");

}  // namespace qzr::frontend
