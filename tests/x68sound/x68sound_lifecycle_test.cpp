// The library's lifecycle with its real-time output. Where no sound device can be opened (as
// on a build server) the silent clock keeps the time. The entries are looked up once here, not
// at every call as the player does: under ThreadSanitizer a look-up by name takes milliseconds,
// which would starve the ticks this test counts.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "x68sound_library.h"

namespace qzr::emulator {
namespace {

const X68Sound* gLibrary = nullptr;
std::atomic<int> gTicks{0};

// Writes a key-code row from the tick, as the player's tick does.
void TickWritingRegisters() {
    gTicks.fetch_add(1);
    for (int channel = 0; channel < 8; ++channel) {
        gLibrary->opmReg(0x28 + channel);
        gLibrary->opmPoke(0x4C);
    }
}

constexpr std::chrono::milliseconds kTickPatience{5000};

int TicksIn(std::chrono::milliseconds span) {
    const int before = gTicks.load();
    std::this_thread::sleep_for(span);
    return gTicks.load() - before;
}

class X68SoundLifecycle : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library_.Complete()) << library_.library.Error();
        gLibrary = &library_;
    }
    void TearDown() override {
        // A host releases before it unloads the library.
        EXPECT_EQ(library_.free(), 0);
        gLibrary = nullptr;
    }
    X68Sound library_;
};

TEST_F(X68SoundLifecycle, StartPlayFreeAndStartAgain) {
    const X68Sound& x = library_;
    EXPECT_EQ(x.free(), 0);  // before any start: harmless
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(x.StartAsThePlayerDoes(), 0);
        EXPECT_EQ(x.StartAsThePlayerDoes(), -1);
        EXPECT_EQ(x.betwInt(reinterpret_cast<W>(&TickWritingRegisters)), 0);
        EXPECT_TRUE(TicksCome(gTicks, 10, kTickPatience));
        EXPECT_EQ(x.reset(), 0);  // keeps the tick
        EXPECT_TRUE(TicksCome(gTicks, 5, kTickPatience));
        EXPECT_EQ(x.free(), 0);
        // Freed: every thread joined, so no tick can come any more.
        EXPECT_EQ(TicksIn(std::chrono::milliseconds(50)), 0);
        EXPECT_EQ(x.free(), 0);
    }
}

TEST_F(X68SoundLifecycle, HostThreadsWriteWhileTicksRun) {
    const X68Sound& x = library_;
    ASSERT_EQ(x.StartAsThePlayerDoes(), 0);
    x.betwInt(reinterpret_cast<W>(&TickWritingRegisters));
    // Each thread selects its own register between the halves of every write.
    auto writer = [&x](int firstReg) {
        for (int i = 0; i < 5000; ++i) {
            x.opmReg(firstReg + i % 32);
            x.opmPoke(i);
            if (i % 64 == 0) x.totalVolume(1024 + i % 200);
        }
    };
    std::thread first(writer, 0x40);
    std::thread second(writer, 0x80);
    std::thread resetter([&x] {
        for (int i = 0; i < 20; ++i) {
            x.reset();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    first.join();
    second.join();
    resetter.join();
    EXPECT_TRUE(TicksCome(gTicks, 1, kTickPatience));
}

}  // namespace
}  // namespace qzr::emulator
