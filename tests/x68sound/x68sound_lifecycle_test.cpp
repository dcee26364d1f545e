// The library's lifecycle with its real-time output. Where no sound device can be opened (as
// on a build server) the silent clock keeps the time. The entries are looked up once here, not
// at every call as the player does: under ThreadSanitizer a look-up by name takes milliseconds,
// which would starve the ticks this test counts.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

namespace qzr::emulator {
namespace {

using W = std::intptr_t;

// libx68sound.so from the build's program folder, loaded by file name as a host loads it.
struct X68Sound {
    X68Sound() : handle(dlopen(QZR_BIN_DIR "/libx68sound.so", RTLD_NOW | RTLD_LOCAL)) {
        if (handle == nullptr) return;
        start = reinterpret_cast<int (*)(W, W, W, W, W, W, W)>(dlsym(handle, "X68Sound_Start"));
        free = reinterpret_cast<int (*)()>(dlsym(handle, "X68Sound_Free"));
        reset = reinterpret_cast<int (*)()>(dlsym(handle, "X68Sound_Reset"));
        opmReg = reinterpret_cast<int (*)(W)>(dlsym(handle, "X68Sound_OpmReg"));
        opmPoke = reinterpret_cast<int (*)(W)>(dlsym(handle, "X68Sound_OpmPoke"));
        totalVolume = reinterpret_cast<int (*)(W)>(dlsym(handle, "X68Sound_TotalVolume"));
        betwInt = reinterpret_cast<int (*)(W)>(dlsym(handle, "X68Sound_BetwInt"));
    }
    ~X68Sound() {
        if (handle != nullptr) dlclose(handle);
    }
    X68Sound(const X68Sound&) = delete;
    X68Sound& operator=(const X68Sound&) = delete;

    bool Complete() const {
        return start && free && reset && opmReg && opmPoke && totalVolume && betwInt;
    }
    int StartAsThePlayerDoes() const { return start(44'100, 1, 0, 5, 5, 200, 1); }

    void* handle;
    int (*start)(W, W, W, W, W, W, W) = nullptr;
    int (*free)() = nullptr;
    int (*reset)() = nullptr;
    int (*opmReg)(W) = nullptr;
    int (*opmPoke)(W) = nullptr;
    int (*totalVolume)(W) = nullptr;
    int (*betwInt)(W) = nullptr;
};

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

int TicksIn(std::chrono::milliseconds span) {
    const int before = gTicks.load();
    std::this_thread::sleep_for(span);
    return gTicks.load() - before;
}

class X68SoundLifecycle : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library_.Complete()) << dlerror();
        gLibrary = &library_;
    }
    void TearDown() override {
        // Unloading stops the output too, but a host releases first.
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
        EXPECT_GT(TicksIn(std::chrono::milliseconds(200)), 10);
        EXPECT_EQ(x.reset(), 0);  // keeps the tick
        EXPECT_GT(TicksIn(std::chrono::milliseconds(100)), 5);
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
    EXPECT_GT(TicksIn(std::chrono::milliseconds(50)), 0);
}

std::atomic<int> gPlainTicks{0};
void CountTick() { gPlainTicks.fetch_add(1); }

TEST(X68SoundUnload, UnloadingStopsTheOutputAsFreeDoes) {
    auto library = std::make_unique<X68Sound>();
    ASSERT_TRUE(library->Complete()) << dlerror();
    ASSERT_EQ(library->StartAsThePlayerDoes(), 0);
    library->betwInt(reinterpret_cast<W>(&CountTick));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_GT(gPlainTicks.load(), 0);
    library.reset();  // the last reference: the library leaves the process without a Free
    EXPECT_EQ(dlopen(QZR_BIN_DIR "/libx68sound.so", RTLD_NOW | RTLD_NOLOAD), nullptr);
    const int afterUnload = gPlainTicks.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(gPlainTicks.load(), afterUnload);
}

}  // namespace
}  // namespace qzr::emulator
