#include "audio_device.h"

namespace qzr::emulator {

// Built without SDL: there is never a device, and the silent clock always runs.
std::unique_ptr<AudioDevice> OpenAudioDevice(int /*rate*/, int /*bufferFrames*/,
                                             FrameRenderer& /*renderer*/) {
    return nullptr;
}

}  // namespace qzr::emulator
