#pragma once

#include <memory>

#include "frame_renderer.h"

namespace qzr::emulator {

// An open sound device that pulls frames from a FrameRenderer on the device's own thread.
// Destroying it stops the device and joins that thread.
class AudioDevice {
public:
    virtual ~AudioDevice() = default;
};

// Opens the default output device at `rate` (stereo, 16 bits) with buffers of `bufferFrames`.
// nullptr where no real device can be opened; a driver that only pretends to play (a dummy or
// file driver) counts as none, so that the silent clock keeps the time there instead.
std::unique_ptr<AudioDevice> OpenAudioDevice(int rate, int bufferFrames, FrameRenderer& renderer);

}  // namespace qzr::emulator
