// With SDL's sound output: a driver that only pretends to play counts as no device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "qzr/emulator_engine/engine.h"
#include "recording_chip.h"

namespace qzr::emulator {
namespace {

TEST(SilentClock, TakesOverWhenTheOnlyAudioDriverPretendsToPlay) {
    // SDL's dummy driver would consume sound at its own pace; we keep time ourselves instead.
    ASSERT_EQ(setenv("SDL_AUDIODRIVER", "dummy", 1), 0);
    Engine engine(std::make_unique<test::RecordingChip>());
    ASSERT_EQ(engine.Start(StartOptions{}), StartResult::Started);
    EXPECT_EQ(engine.Active(), ActiveOutput::SilentClock);
    engine.Stop();
    ASSERT_EQ(unsetenv("SDL_AUDIODRIVER"), 0);
}

}  // namespace
}  // namespace qzr::emulator
