// A host that loads the player itself, starts it and unloads it before it exits: on Windows
// nothing may be released while a DLL is detached (under the loader lock), so the emulator the
// player loaded stays in the process for the system to release as it ends, and that exit is
// clean.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "qzr/test_support/library_handle.h"
#include "recording_player.h"

namespace qzr::test {
namespace {

TEST(QzrplayUnloadDeathTest, UnloadingThePlayerLeavesItsEmulatorToTheSystemAndExitIsClean) {
    const auto emulator = RecorderFolderFile("x68sound");
    const auto player = RecorderFolderFile("qzrplay");
    EXPECT_EXIT(
        {
            auto library = std::make_unique<LibraryHandle>(player);
            if (!library->Loaded()) std::_Exit(3);
            using Start = int (*)(std::intptr_t, std::intptr_t);
            using Release = int (*)();
            const auto start = reinterpret_cast<Start>(library->Find("InitOPM"));
            const auto release = reinterpret_cast<Release>(library->Find("ReleaseOPM"));
            if (start == nullptr || release == nullptr || start(44100, 200) != 0) std::_Exit(4);
            release();
            if (!LibraryHandle::InProcess(emulator)) std::_Exit(5);
            library.reset();
            if (LibraryHandle::InProcess(player)) std::_Exit(6);
            if (!LibraryHandle::InProcess(emulator)) std::_Exit(7);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace qzr::test
