// A host that loads the player itself, starts it and unloads it before it exits: on POSIX the
// player's ring releases the emulator it loaded at the unload, and the exit that follows is clean.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "qzr/test_support/library_handle.h"
#include "recording_player.h"

namespace qzr::test {
namespace {

TEST(QzrplayUnloadDeathTest, UnloadingThePlayerReleasesItsEmulatorAndExitIsClean) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto emulator = RecorderFolderFile("x68sound");
    EXPECT_EXIT(
        {
            auto player = std::make_unique<LibraryHandle>(RecorderFolderFile("qzrplay"));
            if (!player->Loaded()) std::_Exit(3);
            using Start = int (*)(std::intptr_t, std::intptr_t);
            using Release = int (*)();
            const auto start = reinterpret_cast<Start>(player->Find("InitOPM"));
            const auto release = reinterpret_cast<Release>(player->Find("ReleaseOPM"));
            if (start == nullptr || release == nullptr || start(44100, 200) != 0) std::_Exit(4);
            release();
            if (!LibraryHandle::InProcess(emulator)) std::_Exit(5);
            player.reset();
            if (LibraryHandle::InProcess(emulator)) std::_Exit(6);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace qzr::test
