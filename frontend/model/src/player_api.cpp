#include "qzr/frontend/player_api.h"

#include <memory>
#include <utility>

#include "qzr/common/call_by_name.h"

namespace qzr::frontend {

PlayerApi BindPlayerByName(std::string libraryName) {
    // One shared copy of the name, so the closures stay cheap to copy and never dangle.
    const auto library = std::make_shared<const std::string>(std::move(libraryName));
    return PlayerApi{
        .initOPM =
            [library](int sampleRate, int latencyMs) {
                return CallByName("InitOPM", library->c_str(), sampleRate, latencyMs);
            },
        .playSong =
            [library](const char* path) { return CallByName("PlaySong", library->c_str(), path); },
        .playSong2 =
            [library](const char* path) { return CallByName("PlaySong2", library->c_str(), path); },
        .stopSong = [library] { return CallByName("StopSong", library->c_str()); },
        .releaseOPM = [library] { return CallByName("ReleaseOPM", library->c_str()); },
        .getSongPosition = [library] { return CallByName("GetSongPosition", library->c_str()); },
    };
}

}  // namespace qzr::frontend
