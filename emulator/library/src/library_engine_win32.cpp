#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <mutex>

#include "library_engine.h"
#include "qzr/x68sound.h"

namespace qzr::emulator {

namespace {

// Nothing of the library runs at its detach: MinGW's runtime runs a DLL's exit list under the
// loader lock, where joining a thread or closing a waveOut device deadlocks. So the engine is
// never destroyed (the process's end takes it), its threads stop only through X68Sound_Free,
// and while they run the library holds a reference to itself: a FreeLibrary without Free
// leaves it loaded instead of pulling the code from under its threads.
Engine& TheEngine() {
    static Engine* const engine = new Engine;
    return *engine;
}

std::mutex gHoldMutex;
HMODULE gHeld = nullptr;

}  // namespace

Engine& LibraryEngine() { return TheEngine(); }

void OutputStarted() {
    const std::lock_guard lock(gHoldMutex);
    if (gHeld != nullptr) return;
    HMODULE self = nullptr;
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                           reinterpret_cast<LPCSTR>(&X68Sound_Start), &self)) {
        gHeld = self;
    }
}

void OutputStopped() {
    const std::lock_guard lock(gHoldMutex);
    if (gHeld == nullptr) return;
    // The caller of Free holds its own reference, so this never unloads the code it returns to.
    FreeLibrary(gHeld);
    gHeld = nullptr;
}

}  // namespace qzr::emulator
