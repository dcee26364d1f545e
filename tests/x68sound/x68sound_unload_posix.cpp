// Unloading the library without a Free: on POSIX its unloading stops the output.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "x68sound_library.h"

namespace qzr::emulator {
namespace {

std::atomic<int> gPlainTicks{0};
void CountTick() { gPlainTicks.fetch_add(1); }

TEST(X68SoundUnload, UnloadingStopsTheOutputAsFreeDoes) {
    auto library = std::make_unique<X68Sound>();
    ASSERT_TRUE(library->Complete()) << library->library.Error();
    ASSERT_EQ(library->StartAsThePlayerDoes(), 0);
    library->betwInt(reinterpret_cast<W>(&CountTick));
    EXPECT_TRUE(TicksCome(gPlainTicks, 1, std::chrono::milliseconds(5000)));
    library.reset();  // the last reference: the library leaves the process without a Free
    EXPECT_FALSE(qzr::test::LibraryHandle::InProcess(qzr::test::BuiltLibrary("x68sound")));
    const int afterUnload = gPlainTicks.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(gPlainTicks.load(), afterUnload);
}

}  // namespace
}  // namespace qzr::emulator
