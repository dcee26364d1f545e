#include <SDL.h>

#include <cstdint>
#include <span>
#include <string_view>

#include "alsa_error_silencer.h"
#include "audio_device.h"

namespace qzr::emulator {

namespace {

class SdlAudioDevice final : public AudioDevice {
public:
    explicit SdlAudioDevice(SDL_AudioDeviceID device) : device_(device) {}
    ~SdlAudioDevice() override {
        // Closing waits for a callback in flight and joins SDL's audio thread.
        SDL_CloseAudioDevice(device_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    SdlAudioDevice(const SdlAudioDevice&) = delete;
    SdlAudioDevice& operator=(const SdlAudioDevice&) = delete;

private:
    SDL_AudioDeviceID device_;
};

void FillFromRenderer(void* userdata, Uint8* stream, int length) {
    auto& renderer = *static_cast<FrameRenderer*>(userdata);
    const auto samples = static_cast<std::size_t>(length) / sizeof(std::int16_t);
    renderer.Render(std::span<std::int16_t>(reinterpret_cast<std::int16_t*>(stream), samples));
}

bool PretendsToPlay(const char* driver) {
    if (driver == nullptr) return true;
    const std::string_view name(driver);
    return name == "dummy" || name == "disk";
}

}  // namespace

std::unique_ptr<AudioDevice> OpenAudioDevice(int rate, int bufferFrames, FrameRenderer& renderer) {
    // Where there is no sound card the caller falls back to the silent clock and says so; ALSA's
    // complaints on the way there would only bury that.
    const AlsaErrorSilencer quietProbe;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return nullptr;
    if (PretendsToPlay(SDL_GetCurrentAudioDriver())) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = rate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 2;
    wanted.samples = static_cast<Uint16>(bufferFrames);
    wanted.callback = &FillFromRenderer;
    wanted.userdata = &renderer;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts if the device differs, so the renderer's rate holds.
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    auto opened = std::make_unique<SdlAudioDevice>(device);
    SDL_PauseAudioDevice(device, 0);
    return opened;
}

}  // namespace qzr::emulator
