#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <atomic>

#include "interrupt.h"

namespace qzr::tools {
namespace {

std::atomic<bool> gInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);  // set from the console's own thread

// The console calls this on a thread of its own. Ctrl-C and Ctrl-Break are taken (the program
// stops cleanly and says so); closing the window or logging off go on to the next handler.
BOOL WINAPI OnControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    gInterrupted.store(true);
    return TRUE;
}

}  // namespace

InterruptCatcher::InterruptCatcher() {
    gInterrupted.store(false);
    SetConsoleCtrlHandler(&OnControl, TRUE);
}

InterruptCatcher::~InterruptCatcher() { SetConsoleCtrlHandler(&OnControl, FALSE); }

bool InterruptCatcher::Interrupted() { return gInterrupted.load(); }

}  // namespace qzr::tools
