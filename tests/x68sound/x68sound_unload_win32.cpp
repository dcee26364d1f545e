// Unloading the library without a Free: on Windows nothing of the library may run at its detach
// (under the loader lock), so it stays loaded while its threads run, and the Free of a later
// load stops them and lets it go.
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

int TicksIn(std::chrono::milliseconds span) {
    const int before = gPlainTicks.load();
    std::this_thread::sleep_for(span);
    return gPlainTicks.load() - before;
}

TEST(X68SoundUnload, ReleasedWhileRunningItStaysUntilAFreeStopsIt) {
    const auto file = qzr::test::BuiltLibrary("x68sound");
    auto library = std::make_unique<X68Sound>();
    ASSERT_TRUE(library->Complete()) << library->library.Error();
    ASSERT_EQ(library->StartAsThePlayerDoes(), 0);
    library->betwInt(reinterpret_cast<W>(&CountTick));
    EXPECT_TRUE(TicksCome(gPlainTicks, 1, std::chrono::milliseconds(5000)));
    library.reset();  // the host's last reference, without a Free
    EXPECT_TRUE(qzr::test::LibraryHandle::InProcess(file));
    EXPECT_TRUE(TicksCome(gPlainTicks, 1, std::chrono::milliseconds(5000)));

    library = std::make_unique<X68Sound>();
    ASSERT_TRUE(library->Complete()) << library->library.Error();
    EXPECT_EQ(library->free(), 0);
    EXPECT_EQ(TicksIn(std::chrono::milliseconds(50)), 0);
    library.reset();
    EXPECT_FALSE(qzr::test::LibraryHandle::InProcess(file));

    // Loaded again, it starts afresh.
    library = std::make_unique<X68Sound>();
    ASSERT_TRUE(library->Complete()) << library->library.Error();
    ASSERT_EQ(library->StartAsThePlayerDoes(), 0);
    library->betwInt(reinterpret_cast<W>(&CountTick));
    EXPECT_TRUE(TicksCome(gPlainTicks, 1, std::chrono::milliseconds(5000)));
    EXPECT_EQ(library->free(), 0);
}

}  // namespace
}  // namespace qzr::emulator
