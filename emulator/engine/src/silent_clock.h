#pragma once

#include <cstdint>
#include <thread>
#include <vector>

#include "frame_pacer.h"
#include "frame_renderer.h"
#include "output_load_meter.h"
#include "qzr/emulator_engine/pacing_clock.h"
#include "qzr/emulator_engine/stop_signal.h"

namespace qzr::emulator {

// Stands in for the sound device where none can be opened: a thread of its own renders at
// real-time pace and discards the sound, so ticks still come at their steady period and songs
// play silently.
class SilentClock {
public:
    // A chunk made more than a chunk's time after it fell due counts as late in `load`.
    SilentClock(FrameRenderer& renderer, int rate, PacingClock& clock, OutputLoadMeter& load);
    // Stops and joins the thread.
    ~SilentClock();
    SilentClock(const SilentClock&) = delete;
    SilentClock& operator=(const SilentClock&) = delete;

private:
    void Run();

    FrameRenderer& renderer_;
    PacingClock& clock_;
    OutputLoadMeter& load_;
    std::chrono::nanoseconds chunkTime_;
    FramePacer pacer_;
    std::vector<std::int16_t> chunk_;
    StopSignal stop_;
    std::thread thread_;  // last: starts once everything above is ready
};

}  // namespace qzr::emulator
