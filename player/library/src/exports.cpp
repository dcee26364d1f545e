#include <cstdint>

#include "qzr/common/call_by_name.h"
#include "qzr/player_core/player.h"
#include "qzr/qzrplay.h"

namespace {

using qzr::CallByName;
using qzr::player::ChipPort;

constexpr const char* kEmulator = "x68sound.dll";

// The emulator, reached by name at every call: nothing is resolved ahead of time, so the player
// works with whichever emulator library the process finds.
class EmulatorByName final : public ChipPort {
public:
    constexpr EmulatorByName() = default;

    int Start(const qzr::player::StartArguments& a) override {
        return CallByName("X68Sound_Start", kEmulator, a.sampleRate, a.fmEnabled, a.otherSource,
                          a.tickPeriod, a.bufferCount, a.latency, a.reserved);
    }
    int Free() override { return CallByName("X68Sound_Free", kEmulator); }
    int Reset() override { return CallByName("X68Sound_Reset", kEmulator); }
    int OpmReg(std::uint8_t reg) override { return CallByName("X68Sound_OpmReg", kEmulator, reg); }
    int OpmPoke(std::uint8_t data) override {
        return CallByName("X68Sound_OpmPoke", kEmulator, data);
    }
    int TotalVolume(std::int32_t volume) override {
        return CallByName("X68Sound_TotalVolume", kEmulator, volume);
    }
    int BetwInt(qzr::player::TickProcedure tick) override {
        return CallByName("X68Sound_BetwInt", kEmulator, tick);
    }
};

constinit EmulatorByName gEmulator;

const char* PathFromWord(std::intptr_t word) { return reinterpret_cast<const char*>(word); }

}  // namespace

extern "C" QZR_API int InitOPM(std::intptr_t sampleRate, std::intptr_t latency) noexcept {
    return qzr::player::InitOPM(gEmulator, static_cast<std::int32_t>(sampleRate),
                                static_cast<std::int32_t>(latency));
}

extern "C" QZR_API int ReleaseOPM() noexcept { return qzr::player::ReleaseOPM(gEmulator); }

extern "C" QZR_API int PlaySong(std::intptr_t path) noexcept {
    return qzr::player::PlaySong(gEmulator, PathFromWord(path));
}

extern "C" QZR_API int PlaySong2(std::intptr_t path) noexcept {
    return qzr::player::PlaySong2(gEmulator, PathFromWord(path));
}

extern "C" QZR_API int StopSong() noexcept { return qzr::player::StopSong(gEmulator); }

extern "C" QZR_API int GetSongPosition() noexcept { return qzr::player::GetSongPosition(); }
