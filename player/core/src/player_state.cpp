#include "player_state.h"

#include <thread>

namespace qzr::player {

constinit PlayerState gPlayer{};

void CloseGate(PlayerState& state) {
    state.playing.store(0);
    while (state.tickBusy.load()) std::this_thread::yield();
}

}  // namespace qzr::player
