// The library's lifecycle with its real-time output, loaded by name as the player loads it.
// Where no sound device can be opened (as on a build server) the silent clock keeps the time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "qzr/common/call_by_name.h"

namespace qzr::emulator {
namespace {

constexpr const char* kLibrary = "x68sound.dll";

int Call(const char* entry, auto... words) { return CallByName(entry, kLibrary, words...); }

int StartAsThePlayerDoes() { return Call("X68Sound_Start", 44'100, 1, 0, 5, 5, 200, 1); }

std::atomic<int> gTicks{0};

// Writes a key-code row from the tick, as the player's tick does.
void TickWritingRegisters() {
    gTicks.fetch_add(1);
    for (int channel = 0; channel < 8; ++channel) {
        Call("X68Sound_OpmReg", 0x28 + channel);
        Call("X68Sound_OpmPoke", 0x4C);
    }
}

int TicksIn(std::chrono::milliseconds span) {
    const int before = gTicks.load();
    std::this_thread::sleep_for(span);
    return gTicks.load() - before;
}

TEST(X68SoundLifecycle, StartPlayFreeAndStartAgain) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(StartAsThePlayerDoes(), 0);
        EXPECT_EQ(StartAsThePlayerDoes(), -1);
        EXPECT_EQ(Call("X68Sound_BetwInt", &TickWritingRegisters), 0);
        EXPECT_GT(TicksIn(std::chrono::milliseconds(200)), 10);
        EXPECT_EQ(Call("X68Sound_Reset"), 0);  // keeps the tick
        EXPECT_GT(TicksIn(std::chrono::milliseconds(100)), 5);
        EXPECT_EQ(Call("X68Sound_Free"), 0);
        // Freed: every thread joined, so no tick can come any more.
        EXPECT_EQ(TicksIn(std::chrono::milliseconds(50)), 0);
        EXPECT_EQ(Call("X68Sound_Free"), 0);
    }
}

TEST(X68SoundLifecycle, TwoHostThreadsWriteWhileTicksRun) {
    ASSERT_EQ(StartAsThePlayerDoes(), 0);
    Call("X68Sound_BetwInt", &TickWritingRegisters);
    auto writer = [](int firstReg) {
        for (int i = 0; i < 3000; ++i) {
            Call("X68Sound_OpmReg", firstReg + i % 32);
            Call("X68Sound_OpmPoke", i);
            if (i % 8 == 0) Call("X68Sound_TotalVolume", 1024 + i % 200);
        }
    };
    std::thread first(writer, 0x40);
    std::thread second(writer, 0x80);
    std::thread resetter([] {
        for (int i = 0; i < 20; ++i) {
            Call("X68Sound_Reset");
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    first.join();
    second.join();
    resetter.join();
    EXPECT_GT(TicksIn(std::chrono::milliseconds(50)), 0);
    EXPECT_EQ(Call("X68Sound_Free"), 0);
}

}  // namespace
}  // namespace qzr::emulator
